#include "job_history.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "callback_guard.h"
#include "pappl_fixes/pappl_fixes.h"
#include "server_options.h"

namespace zova::app {
namespace {

// The finished jobs kept: PAPPL 1.3.1's own cleaner keeps them all under a
// steady stream of jobs (pappl_fixes/printer_jobs.cc).
int max_jobs = 100;
time_t max_seconds = 24 * 60 * 60;
bool told_mismatch = false;

// Removes the finished jobs beyond the limits, the oldest first. The
// number removed.
int Trim(pappl_printer_t* printer) {
  const time_t cutoff = time(nullptr) - max_seconds;
  return pappl_fixes::RemoveFinishedJobs(printer, [cutoff](pappl_job_t* job, int kept) {
    const time_t ended = papplJobGetTimeCompleted(job);
    return kept > max_jobs || (ended != 0 && ended < cutoff);
  });
}

void KeepHistory(pappl_printer_t* printer, void* /*data*/) {
  if (!pappl_fixes::CanRemoveFinishedJobs(printer)) {
    // Not the PAPPL this was built for: PAPPL's own cleaner, with its
    // faults, at least keeps the number down when the printer is idle.
    if (!told_mismatch) {
      papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR,
                      "This PAPPL is not 1.3.1: finished jobs are removed by PAPPL itself, "
                      "newest first and only after a minute without new ones.");
      told_mismatch = true;
    }
    if (papplPrinterGetMaxCompletedJobs(printer) != max_jobs) {
      papplPrinterSetMaxCompletedJobs(printer, max_jobs);
    }
    return;
  }
  // PAPPL's cleaner does nothing with no limit of its own ("0"), so it
  // cannot remove the newest jobs behind our back.
  if (papplPrinterGetMaxCompletedJobs(printer) != 0) papplPrinterSetMaxCompletedJobs(printer, 0);
  // Setting it again marks the state changed: the file is written without
  // the removed jobs.
  if (Trim(printer) > 0) papplPrinterSetMaxCompletedJobs(printer, 0);
}

bool KeepHistories(pappl_system_t* system, void* /*data*/) {
  papplSystemIteratePrinters(system, KeepHistory, nullptr);
  return true;  // keep the timer
}

}  // namespace

bool StartJobHistory(pappl_system_t* system, int num_options, cups_option_t* options) {
  long jobs = max_jobs;
  long seconds = max_seconds;
  if (!WholeNumberOption(num_options, options, "max-completed-jobs", 1, 100000, &jobs) ||
      !WholeNumberOption(num_options, options, "job-history-seconds", 1, 366L * 24 * 60 * 60,
                         &seconds)) {
    return false;
  }
  max_jobs = static_cast<int>(jobs);
  max_seconds = seconds;
  papplSystemAddTimerCallback(system, 0, 1, GuardedTimer<KeepHistories>, nullptr);
  return true;
}

}  // namespace zova::app
