// The printer's test page (PAPPL's "Print Test Page"): drawn for the
// printer's settings and printed through the same page pipeline as any job,
// as a mixed page so that its grey ramp is screened and its text and rulers
// thresholded.
#pragma once

#include <pappl/pappl.h>

namespace zova::app {

// PAPPL's test page callback: writes the page as a grey PNG at the
// printer's resolution in the page spool (PAPPL removes it with its job) and
// returns its name, or null after logging why.
const char* WriteTestPage(pappl_printer_t* printer, char* buffer, size_t bufsize);

// Whether the job prints a page WriteTestPage wrote.
bool IsTestPage(pappl_job_t* job);

}  // namespace zova::app
