// The driver's own options for the "options" sub-command, which PAPPL 1.3.1
// lists only from a fixed set of standard ones.
#pragma once

namespace zova::app {

// Prints the printer's vendor options with their choices and defaults, for
// the printer the command line names (-d NAME, -u URI, or the default
// printer). Returns the exit status.
int ShowDriverOptions(const char* base_name, int argc, char* argv[]);

}  // namespace zova::app
