#include "dotmatrix/output_sink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

namespace zova {

// A write that blocks this long means the printer has stopped taking data:
// paper out, offline, or a backend that waits. The filter cannot tell which.
constexpr std::chrono::seconds kStallReported{5};
constexpr std::chrono::seconds kStallRepeated{30};

class StallReport {
 public:
  StallReport() : watcher_([this] { Watch(); }) {}
  ~StallReport() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    watcher_.join();
  }
  void Begin() { started_.store(Now(), std::memory_order_relaxed); }
  void End() {
    started_.store(0, std::memory_order_relaxed);
    if (reported_.exchange(false)) {
      Say("INFO: The printer takes data again.\nSTATE: -offline-report\n");
    }
  }

 private:
  static int64_t Now() {
    return std::chrono::steady_clock::now().time_since_epoch() / std::chrono::milliseconds(1);
  }
  // One write(2) per message: lines of its own even beside the main
  // thread's.
  static void Say(const std::string& lines) {
    [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, lines.data(), lines.size());
  }
  void Watch() {
    std::unique_lock lock(mutex_);
    int64_t said_at = 0;
    while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stop_; })) {
      const int64_t started = started_.load(std::memory_order_relaxed);
      const int64_t now = Now();
      if (started == 0 || now - started < kStallReported.count() * 1000) continue;
      if (reported_ && now - said_at < kStallRepeated.count() * 1000) continue;
      said_at = now;
      Say(std::string(reported_.exchange(true) ? "" : "STATE: +offline-report\n") +
          "INFO: The printer has taken no data for " + std::to_string((now - started) / 1000) +
          " s (out of paper or offline?)\n");
    }
  }

  std::atomic<int64_t> started_{0};  // ms; 0 while no write is under way
  std::atomic<bool> reported_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread watcher_;
};

OutputSink::OutputSink(FILE* file, Messages& messages) : file_(file), messages_(&messages) {
  // Only the filter's standard output to a pipe or socket, where CUPS reads
  // standard error: not a file, not the application's device stream.
  struct stat info;
  if (file_ == stdout && fstat(STDOUT_FILENO, &info) == 0 &&
      (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) || S_ISCHR(info.st_mode))) {
    // Where no thread can be started (its stack does not fit in memory), the
    // job prints without stall reports rather than dying.
    try {
      stall_ = std::make_unique<StallReport>();
    } catch (const std::exception&) {
      stall_.reset();
    }
  }
}

OutputSink::~OutputSink() = default;
OutputSink::OutputSink(OutputSink&&) noexcept = default;

void OutputSink::Put(const uint8_t* data, size_t len) {
  if (error_ != 0 || len == 0) return;
  if (stall_) stall_->Begin();
  if (fwrite(data, 1, len, file_) != len) Fail();
  if (stall_) stall_->End();
}

void OutputSink::Flush() {
  if (error_ != 0) return;
  if (stall_) stall_->Begin();
  if (fflush(file_) != 0) Fail();
  if (stall_) stall_->End();
}

void OutputSink::Fail() {
  // A stream that fails without saying why is out of room.
  error_ = errno != 0 ? errno : ENOSPC;
  messages_->Error("Unable to write print data: %s", strerror(error_));
}

}  // namespace zova
