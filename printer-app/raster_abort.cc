#include "raster_abort.h"

#include <cups/raster.h>

#include <cstring>
#include <string>

#include "pappl_fixes/pappl_fixes.h"

namespace zova::app {

void ExplainRasterAbort(pappl_system_t* system, pappl_job_t* job, pappl_event_t event) {
  if ((event & PAPPL_EVENT_JOB_COMPLETED) == 0 || job == nullptr ||
      papplJobGetState(job) != IPP_JSTATE_ABORTED || papplJobGetMessage(job) != nullptr) {
    return;
  }
  const char* format = papplJobGetFormat(job);
  const bool pwg = format != nullptr && strcmp(format, "image/pwg-raster") == 0;
  if (!pwg && (format == nullptr || strcmp(format, "image/urf") != 0)) return;
  const char* kind = pwg ? "PWG raster" : "Apple raster";
  // The job's thread calls this: libcups' raster error is the stream's. It
  // has none when the stream read well but its pages are ones the printer
  // does not take (colour, or a header that does not add up).
  const char* error = cupsRasterErrorString();
  if (error == nullptr) {
    pappl_fixes::SetJobMessageLater(
        system, job,
        std::string("Aborted: the ") + kind +
            " pages are not ones this printer takes (colour pages, or a page header that does "
            "not add up); send grey or black raster.");
    return;
  }
  std::string why = error;
  while (!why.empty() && (why.back() == '\n' || why.back() == '.')) why.pop_back();
  std::string message = std::string("Aborted: the document cannot be read as ") + kind +
                        (why.empty() ? " (the stream ended early)." : " (" + why + ").");
  pappl_fixes::SetJobMessageLater(system, job, std::move(message));
}

}  // namespace zova::app
