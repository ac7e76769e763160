// Printer streams built byte by byte, for what the output routines never
// write: single commands, broken streams and hostile ones.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dotmatrix/commands.h"

namespace zova::testing {

using Bytes = std::vector<uint8_t>;

inline constexpr size_t kPreamble = kPreambleLength;

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The preamble and then `body`. (Built whole: GCC 12 warns of a false
// overflow when a vector of the preamble's size is appended to.)
inline Bytes Job(const Bytes& body) {
  Bytes job(kPreamble + body.size(), 0);
  std::copy(body.begin(), body.end(), job.begin() + static_cast<long>(kPreamble));
  return job;
}

inline const Bytes kLqStart = {0x1B, '@', 0x1B, '6'};
inline const Bytes kNativeStart = {0x1B, 'N', 0x1B, '%', 'B', 0x1B, '6'};
inline const Bytes kJobEnd = {0x1B, '@'};
inline const Bytes kUnit180 = {0x1B, '(', 'U', 1, 0, 20};
// One 24-dot column with only its top dot.
inline const Bytes kTopDot = {0x80, 0, 0};

inline Bytes LqImage(uint8_t mode, const Bytes& columns) {
  const size_t n = columns.size() / 3;
  return Bytes{0x1B, '*', mode, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)} + columns;
}

inline Bytes NativeImage(const Bytes& columns) {
  const size_t n = columns.size() / 3;
  return Bytes{0x1B, '%', '1', static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)} + columns;
}

inline Bytes LqFeed(uint16_t v) {
  return Bytes{0x1B, '(', 'v', 2, 0, static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
}

}  // namespace zova::testing
