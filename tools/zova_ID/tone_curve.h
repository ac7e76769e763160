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

// The model for resolutions whose rows' pitch is an open question: how
// many cells 1/dpi wide and 1/180 in high one printed dot covers, at least
// 1. Resolutions outside 60 to 360 dpi are taken as the nearer end.
double DotGainExponent(int dpi);

// The model turned round: the relative luminance, in steps of 1/kWhite
// rounded up, of a pixel that needs this share of the paper (0 to 1) covered
// with dots at this resolution, the dots landing independently.
uint32_t LuminanceBelowCoverage(double coverage, int dpi);

// The tone of one screen on a page of dpi x ydpi. Where the geometry is
// known (180 or 360 each way) it is what flat fields print at each of the
// screen's levels, measured with every dot a disc on paper at the cells'
// real pitch (printed_tone.h). Elsewhere it is the model above, which counts
// rows 1/180 in apart.
class ToneCurve {
 public:
  enum ScreenKind { kErrorDiffusion, kOrdered };
  ToneCurve(ScreenKind screen, int dpi, int ydpi);

  // Levels of the screen: 4096 shares for error diffusion, 256 for the
  // ordered screen.
  int levels() const { return static_cast<int>(below_.size()) - 1; }

  // The relative luminance, in steps of 1/kWhite, below which a pixel gets
  // at least k levels, k from 1 to levels(). Non-increasing in k; at most
  // kWhite, so white gets no dot, and at least 1, so black gets every
  // level. A flat field gets the level whose print is nearest its lightness
  // in L*, of the levels that print darker than all levels below them.
  uint32_t LuminanceBelow(int k) const { return below_[k]; }

 private:
  template <int kLevels>
  void Measured(const uint32_t (&lightness)[kLevels + 1]);

  std::vector<uint32_t> below_;  // [0] unused
};

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

// The level of the tone for a luminance from LuminanceTable. Indexed in
// steps of 2^-16, fine enough that the darkest sRGB values keep levels of
// their own. 0 for white, every level for black.
class CoverageTable {
 public:
  explicit CoverageTable(const ToneCurve& tone);
  uint16_t operator[](uint32_t luminance) const {
    return steps_[(luminance + (1u << (kShift - 1))) >> kShift];
  }

 private:
  static constexpr int kShift = 8;
  std::vector<uint16_t> steps_;
};

}  // namespace zova
