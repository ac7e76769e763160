// Sub-commands PAPPL 1.3.1 gets wrong, done or finished here: "options"
// lists only a fixed set of standard options, "default -d" and
// "delete -d" find no printer added since the server started (PAPPL gives
// it printer-id 0 in its attributes until then), "status" runs the state
// reasons into the date, "devices" reports avahi's absence as an error and
// "drivers" builds a whole server system.
#pragma once

#include <functional>

namespace zova::app {

// "options": PAPPL's listing (`pappl_options` prints it and gives its exit
// status) with the media offsets in millimetres, both of them, and what
// media-ready takes; then the printer's vendor options with their choices
// and defaults, for the printer the command line names (-d NAME, -u URI,
// or the default printer). Returns the exit status.
int ShowOptions(const char* base_name, int argc, char* argv[],
                const std::function<int()>& pappl_options);

// "default -d NAME" or "delete -d NAME" on the local server, the printer
// found by name in the server's list; -1 when the command line is not one
// of those, for PAPPL to run.
int SetDefaultOrDeletePrinter(const char* base_name, int argc, char* argv[]);

// "status" of the local server, or of the printer -d NAME or -u URI names:
// "Running, STATE since DATE (REASONS)." Returns the exit status.
int ShowStatus(const char* base_name, int argc, char* argv[]);

// "devices" and "drivers", which need no server; -1 for other commands.
int RunLocalCommand(const char* base_name, int argc, char* argv[]);

}  // namespace zova::app
