// The tone curve of zova_ID: from an sRGB pixel to the share of paper that a
// screen covers with dots, so that the print, dot spread included, has the
// lightness of the original.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zova {

// Relative luminance in steps of 1/kWhite: 0 is black, kWhite the paper.
inline constexpr uint32_t kWhite = 1u << 24;

// Linear light, 0 to 1, of an 8-bit sRGB channel value.
double SrgbToLinear(int value);

// How many cells one printed dot covers at this horizontal resolution, at
// least 1. Resolutions outside 60 to 360 dpi are taken as the nearer end.
double DotGainExponent(int dpi);

// The tone curve turned round: the relative luminance, in steps of 1/kWhite
// rounded up, of a pixel that needs this share of the paper (0 to 1) covered
// with dots at this resolution. Darker pixels need more. A screen that inks
// its cell of rank r (of n) for every pixel darker than the luminance for
// (r + 1/2) / n prints each pixel's coverage rounded to its ranks.
uint32_t LuminanceBelowCoverage(double coverage, int dpi);

// Relative luminance of an sRGB pixel (Rec. 709 weights on linear light), in
// steps of 1/kWhite. One table per channel: white is exactly kWhite, black 0.
class LuminanceTable {
 public:
  LuminanceTable();
  uint32_t operator()(const uint8_t* rgb) const {
    return channel_[0][rgb[0]] + channel_[1][rgb[1]] + channel_[2][rgb[2]];
  }

 private:
  std::array<std::array<uint32_t, 256>, 3> channel_;
};

// The coverage in whole steps of `full` for a luminance from LuminanceTable.
// Indexed in steps of 2^-16, fine enough that the darkest sRGB values keep
// coverages of their own. 0 for white, `full` for black.
class CoverageTable {
 public:
  CoverageTable(int dpi, uint16_t full);
  uint16_t operator[](uint32_t luminance) const {
    return steps_[(luminance + (1u << (kShift - 1))) >> kShift];
  }

 private:
  static constexpr int kShift = 8;
  std::vector<uint16_t> steps_;
};

}  // namespace zova
