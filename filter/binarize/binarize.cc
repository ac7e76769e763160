// Thresholding of text rows, in place over the RGB row.
#include "binarize/binarize.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace zova {
namespace {

struct Thresholds {
  int white;        // light at or above this channel sum
  int light_grey;   // neutral pixels above this sum are light
  int neutral_tol;  // max channel difference of a neutral pixel
};

constexpr Thresholds kFull{700, 513, 10};
// Halved pages merge pixel pairs and row pairs, which darkens strokes: drop
// more of the greys.
constexpr Thresholds kHalved{740, 373, 20};

inline bool IsDark(const unsigned char* px, const Thresholds& t) {
  const int r = px[0], g = px[1], b = px[2];
  const int sum = r + g + b;
  if (sum >= t.white) return false;
  if (sum > t.light_grey && std::abs(r - g) <= t.neutral_tol && std::abs(g - b) <= t.neutral_tol &&
      std::abs(r - b) <= t.neutral_tol) {
    return false;
  }
  return true;
}

}  // namespace

// Output bits are gathered eight at a time and stored as one byte once all
// eight pixels are read: byte k lies at or before the first input byte of
// pixel 8k, so nothing is overwritten before it is read. The bits of a
// partial last byte that no pixel sets stay 0.
void TransToGray(uint8_t* psrc, unsigned cupsWidth) {
  const unsigned width = cupsWidth;
  const unsigned char* px = psrc;
  unsigned char* out = psrc;
  unsigned x = 0;
  for (; x + 8 <= width; x += 8, px += 24) {
    if (EightWhitePixels(px)) {
      *out++ = 0;
      continue;
    }
    unsigned bits = 0;
    for (int k = 0; k < 8; ++k) bits = (bits << 1) | (IsDark(px + 3 * k, kFull) ? 1u : 0u);
    *out++ = static_cast<unsigned char>(bits);
  }
  if (x < width) {
    unsigned bits = 0;
    const int left = static_cast<int>(width - x);
    for (int k = 0; k < left; ++k) bits = (bits << 1) | (IsDark(px + 3 * k, kFull) ? 1u : 0u);
    *out = static_cast<unsigned char>(bits << (8 - left));
  }
}

void TransToGray360(uint8_t* psrc, unsigned iWidth, bool iOddFlag) {
  // A dot for a pair when either pixel is dark; the unpaired last pixel has
  // no partner to soften it, so only white drops there.
  auto pair_dot = [](const unsigned char* a) {
    return IsDark(a, kHalved) || IsDark(a + 3, kHalved) ? 1u : 0u;
  };
  const unsigned char* px = psrc;
  unsigned char* out = psrc;
  unsigned i = 0;
  for (; i + 8 <= iWidth; i += 8, px += 48) {
    if (EightWhitePixels(px) && EightWhitePixels(px + 24)) {
      *out++ = 0;
      continue;
    }
    unsigned bits = 0;
    for (int k = 0; k < 8; ++k) bits = (bits << 1) | pair_dot(px + 6 * k);
    *out++ = static_cast<unsigned char>(bits);
  }
  unsigned bits = 0;
  int count = 0;
  for (; i < iWidth; ++i, px += 6, ++count) bits = (bits << 1) | pair_dot(px);
  if (iOddFlag) {
    bits = (bits << 1) | (px[0] + px[1] + px[2] < kHalved.white ? 1u : 0u);
    ++count;
  }
  // count is at most 8: seven pairs and the odd pixel fill the last byte.
  if (count > 0) *out = static_cast<unsigned char>(bits << (8 - count));
}

}  // namespace zova
