#include "raster_abort.h"

#include <cups/raster.h>

#include <cstring>
#include <string>
#include <thread>

namespace zova::app {

void ExplainRasterAbort(pappl_system_t* system, pappl_job_t* job, pappl_event_t event) {
  if ((event & PAPPL_EVENT_JOB_COMPLETED) == 0 || job == nullptr ||
      papplJobGetState(job) != IPP_JSTATE_ABORTED || papplJobGetMessage(job) != nullptr) {
    return;
  }
  const char* format = papplJobGetFormat(job);
  const bool pwg = format != nullptr && strcmp(format, "image/pwg-raster") == 0;
  if (!pwg && (format == nullptr || strcmp(format, "image/urf") != 0)) return;
  // The job's thread calls this: libcups' raster error is the stream's.
  std::string why = cupsRasterErrorString();
  while (!why.empty() && (why.back() == '\n' || why.back() == '.')) why.pop_back();
  std::string message = std::string("Aborted: the document cannot be read as ") +
                        (pwg ? "PWG raster" : "Apple raster") +
                        (why.empty() ? " (the stream ended early)." : " (" + why + ").");
  SetJobMessageLater(system, job, std::move(message));
}

void SetJobMessageLater(pappl_system_t* system, pappl_job_t* job, std::string message) {
  // PAPPL holds the job locked while it tells of the event: the message is
  // set once it lets go, found again by its IDs in case it went meanwhile.
  const int printer_id = papplPrinterGetID(papplJobGetPrinter(job));
  const int job_id = papplJobGetID(job);
  std::thread([system, printer_id, job_id, message = std::move(message)] {
    pappl_printer_t* printer = papplSystemFindPrinter(system, nullptr, printer_id, nullptr);
    if (pappl_job_t* found = printer != nullptr ? papplPrinterFindJob(printer, job_id) : nullptr;
        found != nullptr && papplJobGetMessage(found) == nullptr) {
      papplJobSetMessage(found, "%s", message.c_str());
    }
  }).detach();
}

}  // namespace zova::app
