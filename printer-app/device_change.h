// "modify -d NAME -v URI": a printer's new device. PAPPL 1.3.1 can set no
// device URI and its own modify sends nothing for -v; the server re-creates
// the printer with the new device and the settings it had.
#pragma once

#include <pappl/pappl.h>

namespace zova::app {

// Runs "modify ... -v URI" as the client: the exit status, or -1 for
// any other command (PAPPL's then).
int ChangeDeviceCommand(const char* base_name, int argc, char* argv[]);

// The server's side, an operation of the application's own.
void InstallDeviceChange(pappl_system_t* system);

}  // namespace zova::app
