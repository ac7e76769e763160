// A 1-bit page image in the filter's own row format: one bit per dot, the
// most significant bit leftmost, 1 meaning a printed dot, rows padded to a
// whole byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zova::preview {

class PackedBitmap {
 public:
  PackedBitmap() = default;
  PackedBitmap(size_t width, size_t height)
      : width_(width), height_(height), stride_((width + 7) / 8), bits_(stride_ * height, 0) {}

  size_t width() const { return width_; }
  size_t height() const { return height_; }
  size_t stride() const { return stride_; }

  bool Get(size_t x, size_t y) const {
    return (bits_[y * stride_ + x / 8] & (0x80 >> (x % 8))) != 0;
  }
  void Set(size_t x, size_t y) {
    bits_[y * stride_ + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  }

  const uint8_t* Row(size_t y) const { return bits_.data() + y * stride_; }
  uint8_t* Row(size_t y) { return bits_.data() + y * stride_; }

 private:
  size_t width_ = 0;
  size_t height_ = 0;
  size_t stride_ = 0;
  std::vector<uint8_t> bits_;
};

}  // namespace zova::preview
