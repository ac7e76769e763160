// A sliding window over a printer stream that is read as it is decoded: it
// holds the command being decoded and what was read ahead of it, never the
// stream before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace zova::preview {

// Reads up to `size` bytes of the stream into `buffer`: how many it read, 0
// at the end of the stream, -1 when the stream cannot be read.
using StreamReader = std::function<ptrdiff_t(uint8_t* buffer, size_t size)>;

class StreamWindow {
 public:
  explicit StreamWindow(const StreamReader& read) : read_(read) {}

  // Whether the stream holds the `count` bytes at `offset`, reading on as
  // far as needed. False at the end of the stream, or when it cannot be read.
  bool Has(size_t offset, size_t count);
  // A byte or the bytes at `offset`, which Has() has found there.
  uint8_t operator[](size_t offset) const { return bytes_[offset - base_]; }
  const uint8_t* Data(size_t offset) const { return bytes_.get() + (offset - base_); }
  // The bytes before `offset` are not looked at again.
  void Release(size_t offset) { released_ = offset; }

  // Once the end was read: the stream's length.
  size_t end() const { return end_; }
  bool ended() const { return ended_; }
  bool read_failed() const { return read_failed_; }

 private:
  void ReadMore(size_t wanted);

  const StreamReader& read_;
  // The stream from base_ on in the first held_ of capacity_ bytes; filled
  // by reads only, never zeroed first.
  std::unique_ptr<uint8_t[]> bytes_;
  size_t capacity_ = 0;
  size_t held_ = 0;
  size_t base_ = 0;
  size_t released_ = 0;
  size_t end_ = 0;
  bool ended_ = false;
  bool read_failed_ = false;
};

}  // namespace zova::preview
