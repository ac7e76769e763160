// At SIGTERM PAPPL 1.3.1 waits up to 60 s for every job,
// waiting ones too, to end, and aborts what is left. Jobs are kept instead:
// with any in hand the state is saved and the server ends as after a crash,
// which the next start recovers. Tested by AppStopTest.JobsWaitingPrintEachOnceInOrder
// and AppStopTest.JobMidWayIsHeldUntilReleasedAndTheNextJobsPrint.
#include <unistd.h>

#include "pappl_fixes/pappl_fixes.h"

namespace pappl_fixes {
namespace {

void CountActiveJobs(pappl_printer_t* printer, void* count) {
  *static_cast<int*>(count) += papplPrinterGetNumberOfActiveJobs(printer);
}

}  // namespace

void EndKeepingJobs(pappl_system_t* system, const std::function<void()>& save_state) {
  int active = 0;
  papplSystemIteratePrinters(system, CountActiveJobs, &active);
  if (active == 0) return;
  papplLog(system, PAPPL_LOGLEVEL_INFO, "Stopping: %d jobs are kept for the next start.", active);
  save_state();
  _exit(0);
}

}  // namespace pappl_fixes
