#include "device_status.h"

#include <string>

namespace zova::app {
namespace {

using namespace std::chrono_literals;

// What the device can report that stops the printer.
constexpr pappl_preason_t kStopping = static_cast<pappl_preason_t>(
    PAPPL_PREASON_MEDIA_EMPTY | PAPPL_PREASON_MEDIA_NEEDED | PAPPL_PREASON_MEDIA_JAM |
    PAPPL_PREASON_OFFLINE | PAPPL_PREASON_COVER_OPEN | PAPPL_PREASON_OTHER);
// A write that has not returned in this long has stalled.
constexpr auto kStall = 2s;
// How often a stalled write, and a printing job, ask the device at most and
// at least.
constexpr auto kStallQuery = 1s;
constexpr auto kQueryEvery = 3s;
// How often a waiting job asks whether the printer is back.
constexpr auto kWaitPoll = 100ms;

const char* Why(pappl_preason_t reasons) {
  if (reasons & PAPPL_PREASON_MEDIA_EMPTY) return "out of paper";
  if (reasons & PAPPL_PREASON_MEDIA_NEEDED) return "waiting for paper";
  if (reasons & PAPPL_PREASON_MEDIA_JAM) return "paper jam";
  if (reasons & PAPPL_PREASON_COVER_OPEN) return "cover open";
  if (reasons & PAPPL_PREASON_OFFLINE) return "offline";
  return "printer error";
}

void ShowOnPrinter(pappl_printer_t* printer, pappl_preason_t reasons) {
  papplPrinterSetReasons(printer, static_cast<pappl_preason_t>(reasons & kStopping),
                         static_cast<pappl_preason_t>(kStopping & ~reasons));
}

}  // namespace

bool AsksDevice(const std::string& uri) {
  for (const char* network : {"socket:", "dnssd:", "snmp:", "ipp:", "ipps:", "file:"}) {
    if (uri.rfind(network, 0) == 0) return false;
  }
  return !uri.empty();
}

bool PrinterStatus(pappl_printer_t* printer) {
  const char* uri = papplPrinterGetDeviceURI(printer);
  if (uri == nullptr || !AsksDevice(uri)) return true;
  pappl_device_t* device = papplPrinterOpenDevice(printer);
  if (device == nullptr) return true;  // a job has it, or it is gone: as before
  const pappl_preason_t reasons = papplDeviceGetStatus(device);
  papplPrinterCloseDevice(printer);
  ShowOnPrinter(printer, reasons);
  return true;
}

DeviceWatch::DeviceWatch(pappl_device_t* device, pappl_job_t* job, const CancelToken& cancel)
    : device_(device), job_(job), printer_(papplJobGetPrinter(job)), cancel_(cancel) {
  stalls_ = std::thread([this] { WatchStalls(); });
}

DeviceWatch::~DeviceWatch() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  stalls_.join();
  std::lock_guard lock(mutex_);
  // A job cancelled while it waited leaves the printer as the device says
  // it is: the status callback keeps it up to date from now on.
  papplJobSetReasons(job_, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
}

pappl_preason_t DeviceWatch::Ask(std::unique_lock<std::mutex>& /*lock*/) {
  asked_ = Clock::now();
  const pappl_preason_t now =
      static_cast<pappl_preason_t>(papplDeviceGetStatus(device_) & kStopping);
  ShowOnPrinter(printer_, now);  // also clears what the printer showed before the job
  if (now == shown_) return now;
  if (now != PAPPL_PREASON_NONE) {
    if (shown_ == PAPPL_PREASON_NONE) waiting_since_ = asked_;
    papplJobSetReasons(job_, PAPPL_JREASON_PRINTER_STOPPED, PAPPL_JREASON_NONE);
    const std::string message = std::string("Waiting for the printer: ") + Why(now) + ".";
    papplJobSetMessage(job_, "%s", message.c_str());
    papplLogJob(job_, PAPPL_LOGLEVEL_WARN, "%s", message.c_str());
  } else {
    const double waited = std::chrono::duration<double>(asked_ - waiting_since_).count();
    papplJobSetReasons(job_, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
    papplJobSetMessage(job_, "Printing.");
    papplLogJob(job_, PAPPL_LOGLEVEL_INFO, "The printer is ready again after %.1f s (%s).", waited,
                Why(shown_));
  }
  shown_ = now;
  return now;
}

bool DeviceWatch::Ready() {
  std::unique_lock lock(mutex_);
  if (shown_ == PAPPL_PREASON_NONE && Clock::now() - asked_ < kQueryEvery) return true;
  while (Ask(lock) != PAPPL_PREASON_NONE) {
    if (cancel_.canceled()) return false;
    wake_.wait_for(lock, kWaitPoll, [this] { return stop_; });
  }
  return true;
}

void DeviceWatch::WriteStarted() {
  std::lock_guard lock(mutex_);
  writing_ = true;
  write_start_ = Clock::now();
}

void DeviceWatch::WriteEnded() {
  std::unique_lock lock(mutex_);
  writing_ = false;
  // The stall is over: the printer took the data. Say so at once, even
  // after the job's last write.
  if (shown_ != PAPPL_PREASON_NONE) Ask(lock);
}

void DeviceWatch::WatchStalls() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    wake_.wait_for(lock, kWaitPoll, [this] { return stop_; });
    const Clock::time_point now = Clock::now();
    if (!stop_ && writing_ && now - write_start_ >= kStall && now - asked_ >= kStallQuery) {
      Ask(lock);
    }
  }
}

}  // namespace zova::app
