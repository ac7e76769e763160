// Thresholding of text-page RGB rows into packed 1-bit rows, in place.
#pragma once

#include <cups/raster.h>

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

// Converts header->cupsWidth RGB pixels at the start of psrc into a packed
// 1-bit row over the same bytes. Dark or coloured pixels print; near-white
// and light neutral greys do not. Returns 0.
int TransToGray(unsigned char* psrc, const cups_page_header2_t* header);

// Halves the row horizontally: iWidth pixel pairs, each printing when either
// pixel is dark, then one unpaired last pixel when iOddFlag is set. The
// header is not used. Returns 0.
int TransToGray360(unsigned char* psrc, const cups_page_header2_t* header, int iWidth,
                   int iOddFlag);

}  // namespace zova
