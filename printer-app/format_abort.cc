// PAPPL 1.3.1 aborts a job whose format no filter takes with its reason in
// the log alone: `jobs` and the web page show a bare "aborted".
#include <cstring>
#include <string>

#include "pappl_fixes/pappl_fixes.h"
#include "raster_abort.h"

namespace zova::app {

void ExplainFormatAbort(pappl_system_t* system, pappl_job_t* job, pappl_event_t event) {
  if ((event & PAPPL_EVENT_JOB_COMPLETED) == 0 || job == nullptr ||
      papplJobGetState(job) != IPP_JSTATE_ABORTED || papplJobGetMessage(job) != nullptr) {
    return;
  }
  const char* format = papplJobGetFormat(job);
  // Raster PAPPL reads itself: its aborts are explained by ExplainRasterAbort.
  if (format == nullptr || strcmp(format, "image/pwg-raster") == 0 ||
      strcmp(format, "image/urf") == 0) {
    return;
  }
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  // The same search as PAPPL's before it gives up on a job.
  if (strcmp(format, data.format) == 0 || pappl_fixes::HasFilter(system, format, data.format) ||
      pappl_fixes::HasFilter(system, format, "image/pwg-raster")) {
    return;
  }
  const bool untyped = strcmp(format, "application/octet-stream") == 0;
  pappl_fixes::SetJobMessageLater(
      system, job,
      untyped ? "Aborted: the document is of no format this printer prints (PDF, "
                "PostScript, PNG, JPEG, plain text, PWG or Apple raster)."
              : std::string("Aborted: this printer does not print documents of "
                            "format ") +
                    format + ".");
}

}  // namespace zova::app
