// Thresholding of text-page RGB rows into packed 1-bit rows, in place.
#pragma once

#include <cstdint>
#include <cstring>

namespace zova {

// Eight white RGB pixels (24 bytes of 0xFF) from p: most of a text page,
// skipped whole by the row loops.
inline bool EightWhitePixels(const unsigned char* p) {
  uint64_t a, b, c;
  memcpy(&a, p, 8);
  memcpy(&b, p + 8, 8);
  memcpy(&c, p + 16, 8);
  return (a & b & c) == ~uint64_t{0};
}

// Converts cupsWidth RGB pixels at the start of psrc into a packed 1-bit row
// over the same bytes. Dark or coloured pixels print; near-white and light
// neutral greys do not.
void TransToGray(uint8_t* psrc, unsigned cupsWidth);

// Halves the row horizontally: iWidth pixel pairs, each printing when either
// pixel is dark, then one unpaired last pixel when iOddFlag is set.
void TransToGray360(uint8_t* psrc, unsigned iWidth, bool iOddFlag);

}  // namespace zova
