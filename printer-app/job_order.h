// One job at a time per printer, in the order the jobs were submitted.
//
// PAPPL 1.3.1 checks whether a printer is busy before it takes the printer's
// lock, so two threads can start jobs side by side; and when a job ends it
// starts the newest pending job, not the oldest. The driver corrects both:
//   - a job's thread waits in Enter while another job of the printer prints,
//     and threads that wait are let in oldest first;
//   - while a job prints, the printer holds new jobs (PAPPL's hold-new-jobs),
//     so nothing that arrives can become pending behind PAPPL's back, and
//     Balance leaves only the oldest waiting job pending: the job PAPPL picks
//     next is the oldest. Balance runs when a job leaves the printer, and
//     from a timer that also starts the next job when the one released
//     before was cancelled while it waited. When no job waits, new jobs are
//     no longer held.
// Jobs a user holds carry "job-hold-until" and are never touched; jobs whose
// document has not arrived yet are not released.
#pragma once

#include <pappl/pappl.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>

namespace zova::app {

class JobOrder {
 public:
  enum class Admission {
    kTurn,    // the job prints now
    kRepeat,  // another thread prints or printed this job: this one prints nothing
    kGiveUp,  // the job was cancelled, or its printer deleted, while it waited
  };

  // The printer's order, made on first use, kept for the program's life.
  static JobOrder& For(pappl_printer_t* printer);

  Admission Enter(pappl_job_t* job);
  // A filter's first step: true when this thread is the job's first, which
  // then holds the job until Unclaim; false, once it is done, when another
  // thread holds, prints or has printed it. Before the filter touches the
  // job's document: PAPPL removes it when its first thread ends the job, and
  // counts again the pages of a second thread through its image filter.
  bool Claim(pappl_job_t* job);
  void Unclaim(pappl_job_t* job);
  void Leave(pappl_job_t* job);
  // Leaves only the oldest of the printer's waiting jobs pending, and stops
  // holding new jobs when none waits and none prints. Safe from any thread
  // that holds no PAPPL lock.
  void Balance(pappl_printer_t* printer);
  // After a restart: PAPPL starts no job of those it loads; this starts the
  // oldest waiting one.
  void Resume(pappl_printer_t* printer);
  // The printer's connection broke under a job: the printer is offline, and
  // the jobs waiting are held until PAPPL has let the dead device go.
  void DeviceLost(pappl_printer_t* printer);

 private:
  // With mutex_ held: whether a thread of job `id` prints, waits or has
  // printed.
  bool SeenLocked(int id) const;

  std::mutex mutex_;
  std::condition_variable turn_;
  int printing_ = 0;          // ID of the job that prints, 0 for none
  std::set<int> waiting_;     // threads in Enter
  std::set<int> claimed_;     // jobs a filter's thread holds
  std::deque<int> finished_;  // recent jobs that left, newest last
  // Whether the hold on new jobs is ours: one an administrator set stays.
  bool holding_ = false;
  // Jobs Balance held until their document is in.
  std::set<int> parked_;

  std::mutex balance_mutex_;  // one Balance at a time
  bool device_lost_ = false;  // PAPPL holds a device whose connection broke
};

// A filter's hold on its job for as long as it runs (JobOrder::Claim). A
// filter whose job another thread has printed (logged) prints nothing and
// succeeds.
class JobClaim {
 public:
  explicit JobClaim(pappl_job_t* job);
  ~JobClaim();
  JobClaim(const JobClaim&) = delete;
  JobClaim& operator=(const JobClaim&) = delete;

  bool printedElsewhere() const { return !held_; }

 private:
  pappl_job_t* job_;
  bool held_;
};

// Runs Balance for every printer of the system once a second.
void StartJobOrderTimer(pappl_system_t* system);

}  // namespace zova::app
