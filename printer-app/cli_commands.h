// Sub-commands PAPPL 1.3.1 gets wrong, done or finished here: "options"
// lists only a fixed set of standard options, and "default -d" and
// "delete -d" find no printer added since the server started (PAPPL gives
// it printer-id 0 in its attributes until then).
#pragma once

namespace zova::app {

// Prints the printer's vendor options with their choices and defaults, for
// the printer the command line names (-d NAME, -u URI, or the default
// printer). Returns the exit status.
int ShowDriverOptions(const char* base_name, int argc, char* argv[]);

// "default -d NAME" or "delete -d NAME" on the local server, the printer
// found by name in the server's list; -1 when the command line is not one
// of those, for PAPPL to run.
int SetDefaultOrDeletePrinter(const char* base_name, int argc, char* argv[]);

}  // namespace zova::app
