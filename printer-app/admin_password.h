// `zova-printer-app admin-password`: the administrator's password, set in
// the state directory of the server that is to read it.
#pragma once

#include <pappl/pappl.h>

#include <string>

namespace zova::app {

// Server side: tells its owner, over the local socket alone, where the
// state directory is.
void ServeStateDirectory(pappl_system_t* system, const std::string& state_dir);

// The sub-command (papplMainloop's callback): the state directory of
// -o state-directory=DIR, else the running server's; refused when neither
// says.
int AdminPasswordCommand(const char* base_name, int num_options, cups_option_t* options,
                         int num_files, char** files, void* data);

// --help: PAPPL's sub-commands and ours.
void PrintUsage(void* data);

}  // namespace zova::app
