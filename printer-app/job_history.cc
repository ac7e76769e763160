#include "job_history.h"

#include <pthread.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "server_options.h"

namespace zova::app {
namespace {

// PAPPL 1.3.1's cleaner (_papplPrinterCleanJobsNoLock) walks the finished
// jobs newest first, stops at the first that ended less than 60 s ago and
// removes the newest rather than the oldest: under a steady stream of jobs
// it removes none. Nothing public removes a job, so the history is kept
// here with the printer's own lock and job lists: the start of PAPPL 1.3.1's
// struct _pappl_printer_s (printer-private.h), every member of a public
// type. Matches() checks it against the public getters before each use.
struct PrinterHead {
  pthread_rwlock_t rwlock;
  pappl_system_t* system;
  int printer_id;
  char *name, *dns_sd_name, *location, *geo_location, *organization, *org_unit;
  pappl_contact_t contact;
  char* resource;
  size_t resourcelen;
  char* uriname;
  ipp_pstate_t state;
  pappl_preason_t state_reasons;
  time_t state_time;
  bool is_accepting, is_stopped, is_deleted;
  char *device_id, *device_uri;
  pappl_device_t* device;
  bool device_in_use;
  char* driver_name;
  pappl_pr_driver_data_t driver_data;
  ipp_t* driver_attrs;
  int num_ready;
  ipp_t* attrs;
  time_t start_time, config_time, status_time;
  char* print_group;
  gid_t print_gid;
  int num_supply;
  pappl_supply_t supply[PAPPL_MAX_SUPPLY];
  pappl_job_t* processing_job;
  bool hold_new_jobs;
  int max_active_jobs, max_completed_jobs, max_preserved_jobs;
  cups_array_t *active_jobs, *all_jobs, *completed_jobs;
};

int max_jobs = 100;
time_t max_seconds = 24 * 60 * 60;
bool told_mismatch = false;

PrinterHead* Head(pappl_printer_t* printer) { return reinterpret_cast<PrinterHead*>(printer); }

// Members read without the printer's lock by PAPPL's own getters, fields on
// both sides of the job lists, so a shift of the layout shows.
bool Matches(pappl_printer_t* printer) {
  const PrinterHead* head = Head(printer);
  return head->system == papplPrinterGetSystem(printer) &&
         head->printer_id == papplPrinterGetID(printer) &&
         head->name == papplPrinterGetName(printer) &&
         head->driver_name == papplPrinterGetDriverName(printer) &&
         head->max_active_jobs == papplPrinterGetMaxActiveJobs(printer) &&
         head->max_completed_jobs == papplPrinterGetMaxCompletedJobs(printer) &&
         head->max_preserved_jobs == 0 && head->active_jobs != nullptr &&
         head->all_jobs != nullptr && head->completed_jobs != nullptr;
}

// Removes the finished jobs beyond the limits, the oldest first; PAPPL's
// job list frees each, with its document. The number removed.
int Trim(pappl_printer_t* printer) {
  PrinterHead* head = Head(printer);
  const time_t cutoff = time(nullptr) - max_seconds;
  int removed = 0;
  pthread_rwlock_wrlock(&head->rwlock);
  int count = cupsArrayCount(head->completed_jobs);
  // The list is in job-id order, newest first: the oldest are at its end.
  for (int i = count - 1; i >= 0; --i) {
    auto* job = static_cast<pappl_job_t*>(cupsArrayIndex(head->completed_jobs, i));
    const time_t ended = papplJobGetTimeCompleted(job);
    if (count > max_jobs || (ended != 0 && ended < cutoff)) {
      // Its attributes' file, when no save came between its end and now.
      char attributes[1024];
      papplJobOpenFile(job, attributes, sizeof attributes, nullptr, "ipp", "x");
      cupsArrayRemove(head->completed_jobs, job);
      cupsArrayRemove(head->all_jobs, job);
      --count;
      ++removed;
    }
  }
  pthread_rwlock_unlock(&head->rwlock);
  return removed;
}

void KeepHistory(pappl_printer_t* printer, void* /*data*/) {
  if (!Matches(printer)) {
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
  papplSystemAddTimerCallback(system, 0, 1, KeepHistories, nullptr);
  return true;
}

}  // namespace zova::app
