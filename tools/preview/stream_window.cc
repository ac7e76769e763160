#include "preview/stream_window.h"

#include <algorithm>

namespace zova::preview {
namespace {

constexpr size_t kReadSize = 1 << 14;

}  // namespace

bool StreamWindow::Has(size_t offset, size_t count) {
  // A count near SIZE_MAX (a broken length) cannot be there.
  if (count > SIZE_MAX - offset) return false;
  while (base_ + held_ < offset + count && !ended_) ReadMore(offset + count - (base_ + held_));
  return base_ + held_ >= offset + count;
}

void StreamWindow::ReadMore(size_t wanted) {
  if (released_ > base_) {
    const size_t drop = released_ - base_;
    std::copy(bytes_.get() + drop, bytes_.get() + held_, bytes_.get());
    held_ -= drop;
    base_ = released_;
  }
  // Grows, seldom, to the longest command plus a read ahead, never more.
  if (capacity_ - held_ < std::max(wanted, kReadSize / 4)) {
    capacity_ = held_ + std::max(wanted, kReadSize);
    std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity_]);
    std::copy(bytes_.get(), bytes_.get() + held_, grown.get());
    bytes_ = std::move(grown);
  }
  const ptrdiff_t got = read_(bytes_.get() + held_, capacity_ - held_);
  if (got > 0) {
    held_ += static_cast<size_t>(got);
    return;
  }
  ended_ = true;
  read_failed_ = got < 0;
  end_ = base_ + held_;
}

}  // namespace zova::preview
