// A 1-bit image in the driver's row format: one bit per dot, the most
// significant bit leftmost, 1 meaning a printed dot, rows padded to a whole
// byte. It is what the band routines take row by row, what the halftoning
// tool's PBM holds, and what the preview draws.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zova {

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
  void Set(size_t x, size_t y, bool dot = true) {
    const auto bit = static_cast<uint8_t>(0x80 >> (x % 8));
    if (dot) {
      bits_[y * stride_ + x / 8] |= bit;
    } else {
      bits_[y * stride_ + x / 8] &= static_cast<uint8_t>(~bit);
    }
  }
  // Dots printed.
  size_t Count() const {
    size_t dots = 0;
    for (uint8_t byte : bits_) dots += static_cast<size_t>(std::popcount(byte));
    return dots;
  }

  const uint8_t* Row(size_t y) const { return bits_.data() + y * stride_; }
  uint8_t* Row(size_t y) { return bits_.data() + y * stride_; }

  bool operator==(const PackedBitmap&) const = default;

 private:
  size_t width_ = 0;
  size_t height_ = 0;
  size_t stride_ = 0;
  std::vector<uint8_t> bits_;
};

}  // namespace zova
