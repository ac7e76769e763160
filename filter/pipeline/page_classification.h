// Text page or picture page: the dark ratio of a page's pixels decides.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dotmatrix/page_plan.h"

namespace zova {

// Channel sums (r + g + b): at most this is not near-white,
inline constexpr int kNearWhiteSum = 730;
// and below this is dark.
inline constexpr int kDarkSum = 301;

struct DarkCount {
  long long iHis = 0;    // dark pixels: channel sum below 301
  long long iTotal = 0;  // pixels that are not near-white: channel sum at most 730
};

// Adds a row of RGB pixels to the count.
void CountDarkPixels(const uint8_t* row, size_t pixels, DarkCount& count);

// iHis / iTotal. An all-white page counts nothing: 0/0 is not a number,
// which compares false with every bound and makes a text page.
double DarkRatio(const DarkCount& count);

// Text or picture by the dark ratio alone: a ratio below 0.3 is a picture;
// NaN, from a page without ink, is not.
PageClass ClassifyPage(double dPicNo);

// The tool's screen for a picture of this dark ratio: error diffusion for
// very light pictures (below 0.1), the clustered-dot screen for the others.
DitherMode ScreenFor(double dPicNo);

}  // namespace zova
