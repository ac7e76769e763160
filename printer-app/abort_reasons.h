// PAPPL 1.3.1 aborts a job with its reason in the log alone: a PWG or Apple
// raster stream it cannot read, or a document of a format no filter takes.
// Clients see a bare "Job aborted.".
#pragma once

#include <pappl/pappl.h>

namespace zova::app {

// From the system's event callback: a job that ends aborted with no message
// gets one that says why.
void ExplainAbort(pappl_system_t* system, pappl_job_t* job, pappl_event_t event);

}  // namespace zova::app
