#include "job_order.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "app_system.h"
#include "callback_guard.h"
#include "job_journal.h"

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

// PAPPL starts the newest pending job: of two started side by side, the
// newer one's thread can get here before the older one's has even marked
// its job processing. An older pending job is waited for this long.
constexpr auto kOlderPendingWait = std::chrono::seconds(1);

struct OlderSearch {
  int id;
  bool pending_too;
  bool found = false;
};

void FindOlderStarted(pappl_job_t* job, void* data) {
  auto* search = static_cast<OlderSearch*>(data);
  const ipp_jstate_t state = papplJobGetState(job);
  if (papplJobGetID(job) < search->id &&
      (state == IPP_JSTATE_PROCESSING || (search->pending_too && state == IPP_JSTATE_PENDING))) {
    search->found = true;
  }
}

bool OlderJobStarted(pappl_printer_t* printer, int id, bool pending_too) {
  OlderSearch search{id, pending_too};
  papplPrinterIterateActiveJobs(printer, FindOlderStarted, &search, 1, 0);
  return search.found;
}

struct JobScan {
  const std::set<int>* parked;
  std::vector<JobEntry> jobs;
};

bool HeldByUser(pappl_job_t* job) {
  return (papplJobGetReasons(job) & PAPPL_JREASON_JOB_HOLD_UNTIL_SPECIFIED) != 0;
}

// Jobs waiting their turn: pending, or held with their document in and no
// "job-hold-until" of a user's (held by hold-new-jobs, by Balance, or parked
// by Balance while their document was on its way).
void CollectWaitingJob(pappl_job_t* job, void* data) {
  auto* scan = static_cast<JobScan*>(data);
  const ipp_jstate_t state = papplJobGetState(job);
  const bool waiting = state == IPP_JSTATE_PENDING ||
                       (state == IPP_JSTATE_HELD && papplJobGetFilename(job) != nullptr &&
                        (!HeldByUser(job) || scan->parked->count(papplJobGetID(job)) != 0));
  if (waiting) scan->jobs.push_back({job, papplJobGetID(job), state});
}

// Held jobs whose document has not arrived (Create-Job before its
// Send-Document). PAPPL 1.3.1 releases them with the held new jobs, and then
// starts a job without a document format: the server crashes.
void CollectIncomingJob(pappl_job_t* job, void* data) {
  if (papplJobGetState(job) == IPP_JSTATE_HELD && papplJobGetFilename(job) == nullptr &&
      !HeldByUser(job)) {
    static_cast<std::vector<pappl_job_t*>*>(data)->push_back(job);
  }
}

void CollectJobId(pappl_job_t* job, void* data) {
  static_cast<std::set<int>*>(data)->insert(papplJobGetID(job));
}

void FindProcessing(pappl_job_t* job, void* data) {
  *static_cast<bool*>(data) |= papplJobGetState(job) == IPP_JSTATE_PROCESSING;
}

bool AnyJobProcessing(pappl_printer_t* printer) {
  bool processing = false;
  papplPrinterIterateActiveJobs(printer, FindProcessing, &processing, 1, 0);
  return processing;
}

void HoldPending(pappl_job_t* job, void* /*data*/) {
  if (papplJobGetState(job) == IPP_JSTATE_PENDING) papplJobHold(job, nullptr, nullptr, 0);
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

bool JobOrder::SeenLocked(int id) const {
  return printing_ == id || waiting_.count(id) != 0 ||
         std::find(finished_.begin(), finished_.end(), id) != finished_.end();
}

bool JobOrder::Claim(pappl_job_t* job) {
  const int id = papplJobGetID(job);
  std::unique_lock lock(mutex_);
  if (claimed_.count(id) == 0 && !SeenLocked(id)) {
    claimed_.insert(id);
    return true;
  }
  turn_.wait(lock,
             [&] { return claimed_.count(id) == 0 && printing_ != id && waiting_.count(id) == 0; });
  return false;
}

void JobOrder::Unclaim(pappl_job_t* job) {
  {
    const std::lock_guard lock(mutex_);
    claimed_.erase(papplJobGetID(job));
  }
  turn_.notify_all();
}

JobOrder::Admission JobOrder::Enter(pappl_job_t* job) {
  const int id = papplJobGetID(job);
  pappl_printer_t* printer = papplJobGetPrinter(job);
  std::unique_lock lock(mutex_);
  // PAPPL can start one job twice: the second thread prints nothing.
  if (SeenLocked(id)) {
    turn_.wait(lock, [&] { return printing_ != id && waiting_.count(id) == 0; });
    return Admission::kRepeat;
  }
  waiting_.insert(id);
  const auto arrived = std::chrono::steady_clock::now();
  for (;;) {
    // An older job that PAPPL started beside this one has a thread that
    // has not got here yet: it goes first. PAPPL does not say when its jobs
    // change state, so that is looked at again every little while. A job
    // cancelled while it waits, or whose printer is deleted, gives up: a
    // printer is deleted only once its job is done.
    lock.unlock();
    const bool older_started = OlderJobStarted(
        printer, id, std::chrono::steady_clock::now() - arrived < kOlderPendingWait);
    const bool give_up = papplJobIsCanceled(job) || papplPrinterIsDeleted(printer);
    lock.lock();
    if (give_up) {
      waiting_.erase(id);
      turn_.notify_all();
      return Admission::kGiveUp;
    }
    // A stopping server keeps the job for its next start.
    if (!Stopping() && !older_started && printing_ == 0 && *waiting_.begin() == id) break;
    turn_.wait_for(lock, kRecheck);
  }
  waiting_.erase(id);
  printing_ = id;
  lock.unlock();
  // From now on what arrives waits held, out of PAPPL's choosing.
  if (papplPrinterHoldNewJobs(papplJobGetPrinter(job))) {
    const std::lock_guard balance_lock(balance_mutex_);
    holding_ = true;
    JobJournal::Holding(printer, true);
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

void JobOrder::DeviceLost(pappl_printer_t* printer) {
  {
    const std::lock_guard balance_lock(balance_mutex_);
    device_lost_ = true;
  }
  papplPrinterIterateActiveJobs(printer, HoldPending, nullptr, 1, 0);
  papplPrinterSetReasons(printer, PAPPL_PREASON_OFFLINE, PAPPL_PREASON_NONE);
}

void JobOrder::Balance(pappl_printer_t* printer) {
  const std::lock_guard balance_lock(balance_mutex_);
  int printing;
  {
    const std::lock_guard lock(mutex_);
    printing = printing_;
  }
  // PAPPL 1.3.1 waits for a printer it cannot open in a stopped state that
  // reads as a pause: it is offline.
  if (papplPrinterGetState(printer) == IPP_PSTATE_STOPPED && printing == 0 &&
      AnyJobProcessing(printer)) {
    papplPrinterSetReasons(printer, PAPPL_PREASON_OFFLINE, PAPPL_PREASON_NONE);
    papplPrinterResume(printer);
  }
  // After a broken connection PAPPL would hand the next job the same dead
  // device: once no job prints, it is made to let it go (it opens the
  // device and closes it again, or fails to), so that the next job opens a
  // connection of its own, or waits for the printer. With no job left PAPPL
  // has closed it itself. Until then no waiting job is released onto it.
  const bool dead_device_held = device_lost_ && (printing != 0 || AnyJobProcessing(printer));
  if (device_lost_ && !dead_device_held) {
    if (papplPrinterGetNumberOfActiveJobs(printer) > 0 &&
        papplPrinterOpenDevice(printer) != nullptr) {
      papplPrinterCloseDevice(printer);
    }
    device_lost_ = false;
  }
  // Jobs that are gone are no longer parked.
  std::set<int> active;
  papplPrinterIterateActiveJobs(printer, CollectJobId, &active, 1, 0);
  std::erase_if(parked_, [&](int id) { return active.count(id) == 0; });

  JobScan scan{&parked_, {}};
  papplPrinterIterateActiveJobs(printer, CollectWaitingJob, &scan, 1, 0);
  std::vector<JobEntry>& queue = scan.jobs;
  std::sort(queue.begin(), queue.end(),
            [](const JobEntry& a, const JobEntry& b) { return a.id < b.id; });

  for (size_t i = 1; i < queue.size(); ++i) {
    if (queue[i].state == IPP_JSTATE_PENDING && papplJobHold(queue[i].job, nullptr, nullptr, 0)) {
      papplLogPrinter(printer, PAPPL_LOGLEVEL_DEBUG, "Job %d held until job %d has printed.",
                      queue[i].id, queue[0].id);
    }
  }
  if (!queue.empty()) {
    if (!dead_device_held && queue[0].state == IPP_JSTATE_HELD &&
        papplJobRelease(queue[0].job, nullptr)) {
      papplLogPrinter(printer, PAPPL_LOGLEVEL_DEBUG, "Job %d is next; released.", queue[0].id);
      parked_.erase(queue[0].id);
    }
    return;
  }
  bool idle;
  {
    const std::lock_guard lock(mutex_);
    idle = printing_ == 0 && waiting_.empty();
  }
  if (holding_ && idle) {
    // Jobs whose document is still coming are parked first: held with a
    // hold-until that the release passes over. They are released here when
    // their document is in.
    std::vector<pappl_job_t*> incoming;
    papplPrinterIterateActiveJobs(printer, CollectIncomingJob, &incoming, 1, 0);
    for (pappl_job_t* job : incoming) {
      if (papplJobHold(job, nullptr, "indefinite", 0)) parked_.insert(papplJobGetID(job));
    }
    papplPrinterReleaseHeldNewJobs(printer, nullptr);
    holding_ = false;
    JobJournal::Holding(printer, false);
  }
}

void JobOrder::Resume(pappl_printer_t* printer) {
  Balance(printer);
  JobScan scan{&parked_, {}};
  papplPrinterIterateActiveJobs(printer, CollectWaitingJob, &scan, 1, 0);
  const auto oldest =
      std::min_element(scan.jobs.begin(), scan.jobs.end(),
                       [](const JobEntry& a, const JobEntry& b) { return a.id < b.id; });
  // Releasing a job has PAPPL look for one to start, held or not.
  if (oldest != scan.jobs.end()) papplJobRelease(oldest->job, nullptr);
}

JobClaim::JobClaim(pappl_job_t* job)
    : job_(job), held_(JobOrder::For(papplJobGetPrinter(job)).Claim(job)) {
  if (!held_) {
    papplLogJob(job, PAPPL_LOGLEVEL_WARN, "Job already printed by another thread; skipped.");
  }
}

JobClaim::~JobClaim() {
  if (held_) JobOrder::For(papplJobGetPrinter(job_)).Unclaim(job_);
}

void StartJobOrderTimer(pappl_system_t* system) {
  papplSystemAddTimerCallback(system, 0, 1, GuardedTimer<BalancePrinter>, nullptr);
}

}  // namespace zova::app
