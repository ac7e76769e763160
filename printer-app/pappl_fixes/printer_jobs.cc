// PAPPL 1.3.1's cleaner (_papplPrinterCleanJobsNoLock) walks the finished
// jobs newest first, stops at the first that ended less than 60 s ago and
// removes the newest rather than the oldest: under a steady stream of jobs
// it removes none. Nothing public removes a job, so the job history
// (job_history.cc) removes them here, with the printer's own lock and job
// lists: the start of PAPPL 1.3.1's struct _pappl_printer_s
// (printer-private.h), every member of a public type. Matches() checks it
// against the public getters before each use. 1.3.1 only (refused at
// configure time otherwise). Tested by
// AppHistoryTest.KeepsTheNewestFinishedJobsForAWhile; WithJob by the tests of
// job_message.cc.
#include <pthread.h>

#include <ctime>
#include <vector>

#include "pappl_fixes/pappl_fixes.h"

namespace pappl_fixes {
namespace {

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

PrinterHead* Head(pappl_printer_t* printer) { return reinterpret_cast<PrinterHead*>(printer); }

}  // namespace

// Members read without the printer's lock by PAPPL's own getters, fields on
// both sides of the job lists, so a shift of the layout shows.
bool CanRemoveFinishedJobs(pappl_printer_t* printer) {
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

int RemoveFinishedJobs(pappl_printer_t* printer,
                       const std::function<bool(pappl_job_t* job, int kept)>& remove) {
  PrinterHead* head = Head(printer);
  int removed = 0;
  pthread_rwlock_wrlock(&head->rwlock);
  int count = cupsArrayCount(head->completed_jobs);
  // The list is in job-id order, newest first: the oldest are at its end.
  // A job PAPPL ran on two threads can be in it twice, once for each
  // thread's end: it counts once, and every entry goes before it is freed.
  std::vector<pappl_job_t*> gone;
  for (int i = count - 1; i >= 0; --i) {
    auto* job = static_cast<pappl_job_t*>(cupsArrayIndex(head->completed_jobs, i));
    if (i > 0 && cupsArrayIndex(head->completed_jobs, i - 1) == job) {
      --count;
      continue;
    }
    if (remove(job, count)) {
      gone.push_back(job);
      --count;
    }
  }
  for (pappl_job_t* job : gone) {
    // Its attributes' file, when no save came between its end and now.
    char attributes[1024];
    papplJobOpenFile(job, attributes, sizeof attributes, nullptr, "ipp", "x");
    while (cupsArrayRemove(head->completed_jobs, job) != 0) {
    }
    // PAPPL's job list frees the job, with its document.
    cupsArrayRemove(head->all_jobs, job);
    ++removed;
  }
  pthread_rwlock_unlock(&head->rwlock);
  return removed;
}

bool WithJob(pappl_printer_t* printer, int job_id, const std::function<void(pappl_job_t*)>& visit) {
  // Without the lists, PAPPL's own search, unlocked as it offers it.
  if (!CanRemoveFinishedJobs(printer)) {
    pappl_job_t* job = papplPrinterFindJob(printer, job_id);
    if (job != nullptr) visit(job);
    return job != nullptr;
  }
  PrinterHead* head = Head(printer);
  pthread_rwlock_rdlock(&head->rwlock);
  pappl_job_t* found = nullptr;
  for (int i = 0, n = cupsArrayCount(head->all_jobs); i < n && found == nullptr; ++i) {
    auto* job = static_cast<pappl_job_t*>(cupsArrayIndex(head->all_jobs, i));
    if (papplJobGetID(job) == job_id) found = job;
  }
  if (found != nullptr) visit(found);
  pthread_rwlock_unlock(&head->rwlock);
  return found != nullptr;
}

}  // namespace pappl_fixes
