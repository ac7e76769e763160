// How many finished jobs, and for how long, the application keeps: in
// Get-Jobs, on the web pages and in the state file.
#pragma once

#include <pappl/pappl.h>

namespace zova::app {

// Reads the server options max-completed-jobs (default 100) and
// job-history-seconds (default a day) and starts keeping the history within
// them. False after an "ERROR: Bad ..." line on standard error.
bool StartJobHistory(pappl_system_t* system, int num_options, cups_option_t* options);

}  // namespace zova::app
