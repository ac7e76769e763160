// Dot gain model. The pins of the head are about 0.2 mm across and sit 1/180 in
// apart, so a dot is wider than the cell it is aimed at: at 180 dpi one dot
// inks about 1.6 cells, at 360 dpi about 3.2. If a share f of the cells get a
// dot and the dots land independently, the paper left white is (1 - f)^a for
// a dot that covers a cells. We want the print to reflect as much light as the
// pixel's luminance says, (1 - f)^a = luma / 255, so
//   f = 1 - (luma / 255)^(1 / a).
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

}  // namespace

double DotGainExponent(int dpi) {
  const double cell_width_mm = kMmPerInch / std::clamp(dpi, kMinDpi, kMaxDpi);
  return std::max(1.0, kDotAreaMm2 / (cell_width_mm * kPinPitchMm));
}

double InkCoverage(int luma, int dpi) {
  const double reflectance = std::clamp(luma, 0, 255) / 255.0;
  return 1.0 - std::pow(reflectance, 1.0 / DotGainExponent(dpi));
}

std::array<uint16_t, 256> CoverageTable(int dpi, uint16_t full) {
  std::array<uint16_t, 256> table{};
  for (int luma = 0; luma < 256; ++luma) {
    table[luma] = static_cast<uint16_t>(std::lround(InkCoverage(luma, dpi) * full));
  }
  return table;
}

}  // namespace zova
