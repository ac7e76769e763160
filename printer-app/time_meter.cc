#include "time_meter.h"

#include <algorithm>

#include "preview/print_time.h"
#include "preview/stream_decoder.h"

namespace zova::app {
namespace {

// Enough for a few bands; the printer takes the bytes far slower than the
// decoder reads them.
constexpr size_t kBufferLimit = 256 * 1024;

}  // namespace

TimeMeter::TimeMeter() : thread_([this] { Run(); }) {}

TimeMeter::~TimeMeter() { (void)Finish(); }

void TimeMeter::Feed(const char* data, size_t size) {
  std::unique_lock lock(mutex_);
  while (size > 0 && !stopped_) {
    changed_.wait(lock, [&] { return stopped_ || buffer_.size() < kBufferLimit; });
    if (stopped_) break;
    const size_t n = std::min(size, kBufferLimit - buffer_.size());
    buffer_.insert(buffer_.end(), data, data + n);
    data += n;
    size -= n;
    changed_.notify_all();
  }
}

void TimeMeter::Run() {
  const preview::StreamReader read = [this](uint8_t* out, size_t size) -> ptrdiff_t {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return closed_ || !buffer_.empty(); });
    const size_t n = std::min(size, buffer_.size());
    std::copy_n(buffer_.begin(), n, out);
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(n));
    changed_.notify_all();
    return static_cast<ptrdiff_t>(n);
  };
  const preview::TimeModel model;
  const preview::DecodeResult result = preview::DecodeMotion(read, [&](preview::DecodedPage page) {
    const double seconds = preview::EstimatePrintTime(page, model).Total();
    const std::lock_guard lock(mutex_);
    seconds_ += seconds;
    ++pages_;
    return true;
  });
  const std::lock_guard lock(mutex_);
  if (result.error) {
    why_ = "at byte " + std::to_string(result.error->offset) + ", " + result.error->message;
  }
  stopped_ = true;
  buffer_.clear();
  changed_.notify_all();
}

std::string TimeMeter::Finish() {
  {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  std::string line = "about " + preview::FormatSeconds(seconds_) + " (" + std::to_string(pages_) +
                     (pages_ == 1 ? " page)" : " pages)");
  if (!why_.empty()) line += ", the rest not modelled: " + why_;
  return line;
}

}  // namespace zova::app
