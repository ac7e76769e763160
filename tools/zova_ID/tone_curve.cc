// Dot gain model. The pins of the head are about 0.2 mm across and sit 1/180 in
// apart, so a dot is wider than the cell it is aimed at: at 180 dpi one dot
// inks about 1.6 cells, at 360 dpi about 3.2. If a share f of the cells get a
// dot and the dots land independently, the paper left white is (1 - f)^a for
// a dot that covers a cells. Between white paper and solid ink the print then
// reflects (1 - f)^a of the light, and it has the original's lightness when
// that equals the pixel's relative luminance Y (linear light, not the
// gamma-encoded sRGB value), so
//   f = 1 - Y^(1 / a),  or  Y = (1 - f)^a.
// White stays free of dots and black is fully inked at every resolution; the
// mid tones get fewer dots the finer the resolution.
#include "zova_ID/tone_curve.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zova {
namespace {

constexpr double kPinDiameterMm = 0.20;
constexpr double kMmPerInch = 25.4;
constexpr double kPinPitchMm = kMmPerInch / 180;  // vertical pitch of the head
constexpr int kMinDpi = 60;
constexpr int kMaxDpi = 360;  // the head prints no finer than this
constexpr double kDotAreaMm2 = std::numbers::pi * kPinDiameterMm * kPinDiameterMm / 4;

// Rec. 709 luminance weights in steps of 1/kWhite; green takes the rounding so
// that white adds up to kWhite exactly.
constexpr uint32_t kRedWeight = static_cast<uint32_t>(0.2126 * kWhite + 0.5);
constexpr uint32_t kBlueWeight = static_cast<uint32_t>(0.0722 * kWhite + 0.5);
constexpr uint32_t kWeights[3] = {kRedWeight, kWhite - kRedWeight - kBlueWeight, kBlueWeight};

}  // namespace

double SrgbToLinear(int value) {
  const double v = std::clamp(value, 0, 255) / 255.0;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double DotGainExponent(int dpi) {
  const double cell_width_mm = kMmPerInch / std::clamp(dpi, kMinDpi, kMaxDpi);
  return std::max(1.0, kDotAreaMm2 / (cell_width_mm * kPinPitchMm));
}

uint32_t LuminanceBelowCoverage(double coverage, int dpi) {
  const double luminance = std::pow(1.0 - std::clamp(coverage, 0.0, 1.0), DotGainExponent(dpi));
  return static_cast<uint32_t>(std::ceil(luminance * kWhite));
}

LuminanceTable::LuminanceTable() {
  for (int c = 0; c < 3; ++c) {
    for (int v = 0; v < 256; ++v) {
      channel_[c][v] = static_cast<uint32_t>(std::lround(SrgbToLinear(v) * kWeights[c]));
    }
  }
}

// Entry i holds the number of steps k whose luminance, LuminanceBelowCoverage
// of (k - 1/2) / full, lies above it: the coverage rounded to whole steps,
// found with one power per step rather than one per entry.
CoverageTable::CoverageTable(int dpi, uint16_t full) : steps_((kWhite >> kShift) + 1) {
  size_t darker = 0;  // entries below this one are already set
  for (int k = full; k >= 1; --k) {
    const uint32_t below = LuminanceBelowCoverage((k - 0.5) / full, dpi);
    const size_t end = std::min<size_t>(steps_.size(), (below + (1u << kShift) - 1) >> kShift);
    for (; darker < end; ++darker) steps_[darker] = static_cast<uint16_t>(k);
  }
}

}  // namespace zova
