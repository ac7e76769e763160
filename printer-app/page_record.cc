#include "page_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zova::app {

PageRecord::PageRecord(const std::string& directory, uint64_t limit) : limit_(limit) {
  file_ = FileDescriptor(open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  if (!file_.valid()) {
    // A file system without unnamed files: a named one, unlinked at once.
    std::string path = directory + "/copies-XXXXXX";
    file_ = FileDescriptor(mkostemp(path.data(), O_CLOEXEC));
    if (file_.valid()) unlink(path.c_str());
  }
  usable_ = file_.valid();
}

FILE* PageRecord::Tee(FILE* target) {
  target_ = target;
  tee_ = fopencookie(this, "w", {nullptr, &PageRecord::Write, nullptr, nullptr});
  if (tee_ != nullptr) setvbuf(tee_, nullptr, _IOFBF, 64 * 1024);
  return tee_;
}

ssize_t PageRecord::Write(void* cookie, const char* data, size_t size) {
  auto* record = static_cast<PageRecord*>(cookie);
  if (record->recording_ && record->usable_) record->Keep(data, size);
  // What the driver flushes goes on to the printer at once, as without the
  // record. The target reports its own failures; a short write fails the
  // stream.
  if (fwrite(data, 1, size, record->target_) != size || fflush(record->target_) != 0) return -1;
  return static_cast<ssize_t>(size);
}

void PageRecord::Keep(const char* data, size_t size) {
  if (size_ + size > limit_) return GiveUp();
  while (size > 0) {
    const ssize_t put = pwrite(file_.get(), data, size, static_cast<off_t>(size_));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return GiveUp();
    size_ += static_cast<uint64_t>(put);
    data += put;
    size -= static_cast<size_t>(put);
  }
}

void PageRecord::GiveUp() {
  usable_ = false;
  pages_.clear();
  // The disk space goes back at once, not at the job's end.
  (void)!ftruncate(file_.get(), 0);
}

void PageRecord::Start() {
  if (tee_ != nullptr) fflush(tee_);
  recording_ = true;
  page_start_ = size_;
}

void PageRecord::PageEnds() {
  if (!recording_) return;
  if (tee_ != nullptr) fflush(tee_);
  if (usable_ && size_ > page_start_) pages_.push_back({page_start_, size_});
  page_start_ = size_;
}

void PageRecord::Stop() {
  PageEnds();
  recording_ = false;
}

bool PageRecord::Send(size_t page, FILE* out) const {
  if (!usable_ || page >= pages_.size()) return false;
  char buffer[64 * 1024];
  for (uint64_t at = pages_[page].begin; at < pages_[page].end;) {
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(sizeof buffer, pages_[page].end - at));
    const ssize_t got = pread(file_.get(), buffer, want, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || fwrite(buffer, 1, static_cast<size_t>(got), out) != static_cast<size_t>(got)) {
      return false;
    }
    at += static_cast<uint64_t>(got);
  }
  return true;
}

}  // namespace zova::app
