// A state file PAPPL 1.3.1 cannot read is not loaded: PAPPL would start with
// no printers, log only "Unknown directive" warnings and write over the
// file at its next save.
#pragma once

#include <pappl/pappl.h>

#include <string>

namespace zova::app {

// Checks `state_file` line by line against what PAPPL writes. One that
// cannot be read (empty, a line PAPPL does not write, a printer not closed,
// no UUID) is renamed to STATE_FILE.bad-YYYYMMDD-HHMMSS and an error naming
// the file and line is logged; the server then starts with no printers.
// False only when a bad file cannot be moved aside (the server must not
// start and overwrite it).
bool KeepAsideUnreadableState(pappl_system_t* system, const std::string& state_file);

}  // namespace zova::app
