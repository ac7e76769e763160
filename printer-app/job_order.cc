#include "job_order.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

namespace zova::app {
namespace {

// Enough to recognise a second thread on a job that ended moments ago.
constexpr size_t kFinishedKept = 64;

struct JobEntry {
  pappl_job_t* job;
  int id;
  ipp_jstate_t state;
};

// How often a job waiting for an older one that PAPPL started looks again.
constexpr auto kRecheck = std::chrono::milliseconds(20);

struct OlderSearch {
  int id;
  bool found = false;
};

void FindOlderProcessing(pappl_job_t* job, void* data) {
  auto* search = static_cast<OlderSearch*>(data);
  if (papplJobGetID(job) < search->id && papplJobGetState(job) == IPP_JSTATE_PROCESSING) {
    search->found = true;
  }
}

bool OlderJobProcessing(pappl_printer_t* printer, int id) {
  OlderSearch search{id};
  papplPrinterIterateActiveJobs(printer, FindOlderProcessing, &search, 1, 0);
  return search.found;
}

// Jobs waiting their turn: pending, or held with their document in and no
// "job-hold-until" of a user's (held by hold-new-jobs or by Balance).
void CollectWaitingJob(pappl_job_t* job, void* data) {
  const ipp_jstate_t state = papplJobGetState(job);
  const bool waiting = state == IPP_JSTATE_PENDING ||
                       (state == IPP_JSTATE_HELD && papplJobGetFilename(job) != nullptr &&
                        (papplJobGetReasons(job) & PAPPL_JREASON_JOB_HOLD_UNTIL_SPECIFIED) == 0);
  if (waiting) {
    static_cast<std::vector<JobEntry>*>(data)->push_back({job, papplJobGetID(job), state});
  }
}

bool BalancePrinter(pappl_system_t*, void*);

void BalanceEach(pappl_printer_t* printer, void* /*data*/) {
  JobOrder::For(printer).Balance(printer);
}

bool BalancePrinter(pappl_system_t* system, void* /*data*/) {
  papplSystemIteratePrinters(system, BalanceEach, nullptr);
  return true;  // keep the timer
}

}  // namespace

JobOrder& JobOrder::For(pappl_printer_t* printer) {
  static std::mutex registry_mutex;
  static std::map<int, std::unique_ptr<JobOrder>> registry;
  const std::lock_guard lock(registry_mutex);
  std::unique_ptr<JobOrder>& order = registry[papplPrinterGetID(printer)];
  if (!order) order = std::make_unique<JobOrder>();
  return *order;
}

JobOrder::Admission JobOrder::Enter(pappl_job_t* job) {
  const int id = papplJobGetID(job);
  pappl_printer_t* printer = papplJobGetPrinter(job);
  std::unique_lock lock(mutex_);
  const auto already_done = [&] {
    return std::find(finished_.begin(), finished_.end(), id) != finished_.end();
  };
  // PAPPL can start one job twice: the second thread prints nothing.
  if (printing_ == id || waiting_.count(id) != 0 || already_done()) {
    turn_.wait(lock, [&] { return printing_ != id && waiting_.count(id) == 0; });
    return Admission::kRepeat;
  }
  waiting_.insert(id);
  for (;;) {
    // An older job that PAPPL started beside this one has a thread that
    // has not got here yet: it goes first. PAPPL does not say when its jobs
    // change state, so that is looked at again every little while.
    lock.unlock();
    const bool older_started = OlderJobProcessing(printer, id);
    lock.lock();
    if (!older_started && printing_ == 0 && *waiting_.begin() == id) break;
    turn_.wait_for(lock, kRecheck);
  }
  waiting_.erase(id);
  printing_ = id;
  lock.unlock();
  // From now on what arrives waits held, out of PAPPL's choosing.
  if (papplPrinterHoldNewJobs(papplJobGetPrinter(job))) {
    const std::lock_guard balance_lock(balance_mutex_);
    holding_ = true;
  }
  return Admission::kTurn;
}

void JobOrder::Leave(pappl_job_t* job) {
  const int id = papplJobGetID(job);
  {
    const std::lock_guard lock(mutex_);
    if (printing_ == id) printing_ = 0;
    finished_.push_back(id);
    if (finished_.size() > kFinishedKept) finished_.pop_front();
  }
  turn_.notify_all();
  // Before PAPPL picks the next job.
  Balance(papplJobGetPrinter(job));
}

void JobOrder::Balance(pappl_printer_t* printer) {
  const std::lock_guard balance_lock(balance_mutex_);
  std::vector<JobEntry> queue;
  papplPrinterIterateActiveJobs(printer, CollectWaitingJob, &queue, 1, 0);
  std::sort(queue.begin(), queue.end(),
            [](const JobEntry& a, const JobEntry& b) { return a.id < b.id; });

  for (size_t i = 1; i < queue.size(); ++i) {
    if (queue[i].state == IPP_JSTATE_PENDING && papplJobHold(queue[i].job, nullptr, nullptr, 0)) {
      papplLogPrinter(printer, PAPPL_LOGLEVEL_DEBUG, "Job %d held until job %d has printed.",
                      queue[i].id, queue[0].id);
    }
  }
  if (!queue.empty()) {
    if (queue[0].state == IPP_JSTATE_HELD && papplJobRelease(queue[0].job, nullptr)) {
      papplLogPrinter(printer, PAPPL_LOGLEVEL_DEBUG, "Job %d is next; released.", queue[0].id);
    }
    return;
  }
  bool idle;
  {
    const std::lock_guard lock(mutex_);
    idle = printing_ == 0 && waiting_.empty();
  }
  if (holding_ && idle) {
    papplPrinterReleaseHeldNewJobs(printer, nullptr);
    holding_ = false;
  }
}

void StartJobOrderTimer(pappl_system_t* system) {
  papplSystemAddTimerCallback(system, 0, 1, BalancePrinter, nullptr);
}

}  // namespace zova::app
