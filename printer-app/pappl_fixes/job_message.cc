// PAPPL 1.3.1 tells of a job's events with the job locked, and
// papplJobSetMessage takes the same lock: a message set from the event
// callback would deadlock. It is set from another thread once PAPPL lets
// go, the job found again by its IDs in case it went meanwhile, and
// changed with the printer's job lists locked, so that it stays. Tested by
// AppAdminTest.AJobOfNoFormatItPrintsSaysWhy and
// AppServerTest.PwgGarbageSaysWhyAndCommandsReadCleanly.
#include <thread>

#include "pappl_fixes/pappl_fixes.h"

namespace pappl_fixes {

void SetJobMessageLater(pappl_system_t* system, pappl_job_t* job, std::string message) {
  const int printer_id = papplPrinterGetID(papplJobGetPrinter(job));
  const int job_id = papplJobGetID(job);
  std::thread([system, printer_id, job_id, message = std::move(message)] {
    pappl_printer_t* printer = papplSystemFindPrinter(system, nullptr, printer_id, nullptr);
    if (printer == nullptr) return;
    // Under the printer's lock: the history may remove the job at any time.
    WithJob(printer, job_id, [&](pappl_job_t* job) {
      if (papplJobGetMessage(job) == nullptr) papplJobSetMessage(job, "%s", message.c_str());
    });
  }).detach();
}

}  // namespace pappl_fixes
