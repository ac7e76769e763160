// Text page or picture page: the dark ratio of a page's pixels decides.
#pragma once

#include <cstddef>
#include <cstdint>

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

enum class PageClass {
  kText,          // thresholded by the filter
  kPicture,       // halftoned by the tool with its clustered-dot screen
  kLightPicture,  // very light picture: halftoned with error diffusion
  kMixed,         // text regions thresholded, picture regions halftoned
};

PageClass ClassifyPage(double dPicNo);

// The tool's dither mode for a picture page.
int DitherModeFor(PageClass page_class);

}  // namespace zova
