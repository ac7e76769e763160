// PAPPL 1.3.1 aborts a PWG or Apple raster job whose stream it cannot read
// with no message of its own: clients see a bare "Job aborted.".
#pragma once

#include <pappl/pappl.h>

#include <string>

namespace zova::app {

// From the system's event callback: a raster job that ends aborted with no
// message gets one that says why (libcups' reason for the stream).
void ExplainRasterAbort(pappl_system_t* system, pappl_job_t* job, pappl_event_t event);

// From the system's event callback: a job PAPPL aborts because no filter
// takes its format (its reason was in the log alone) gets the reason.
void ExplainFormatAbort(pappl_system_t* system, pappl_job_t* job, pappl_event_t event);

}  // namespace zova::app
