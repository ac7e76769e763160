#include "abort_reasons.h"

#include <cups/raster.h>

#include <cstring>
#include <string>

#include "pappl_fixes/pappl_fixes.h"

namespace zova::app {
namespace {

// Raster PAPPL reads itself: libcups' reason for the stream, or, when the
// stream read well, pages the printer does not take.
void ExplainRasterAbort(pappl_system_t* system, pappl_job_t* job, bool pwg) {
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
  pappl_fixes::SetJobMessageLater(
      system, job,
      std::string("Aborted: the document cannot be read as ") + kind +
          (why.empty() ? " (the stream ended early)." : " (" + why + ")."));
}

// Any other format: aborted when no filter takes it, the same search as
// PAPPL's before it gives up on a job.
void ExplainFormatAbort(pappl_system_t* system, pappl_job_t* job, const char* format) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  if (strcmp(format, data.format) == 0 || pappl_fixes::HasFilter(system, format, data.format) ||
      pappl_fixes::HasFilter(system, format, "image/pwg-raster")) {
    return;
  }
  const bool untyped = strcmp(format, "application/octet-stream") == 0;
  pappl_fixes::SetJobMessageLater(
      system, job,
      untyped ? "Aborted: the document is of no format this printer prints (PDF, "
                "PostScript, PNG, JPEG, plain text, PWG or Apple raster)."
              : std::string("Aborted: this printer does not print documents of format ") + format +
                    ".");
}

}  // namespace

void ExplainAbort(pappl_system_t* system, pappl_job_t* job, pappl_event_t event) {
  if ((event & PAPPL_EVENT_JOB_COMPLETED) == 0 || job == nullptr ||
      papplJobGetState(job) != IPP_JSTATE_ABORTED || papplJobGetMessage(job) != nullptr) {
    return;
  }
  const char* format = papplJobGetFormat(job);
  if (format == nullptr) return;
  const bool pwg = strcmp(format, "image/pwg-raster") == 0;
  if (pwg || strcmp(format, "image/urf") == 0) {
    ExplainRasterAbort(system, job, pwg);
  } else {
    ExplainFormatAbort(system, job, format);
  }
}

}  // namespace zova::app
