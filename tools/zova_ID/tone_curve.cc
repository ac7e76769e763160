// The pins of the head are about 0.2 mm across and sit 1/180 in apart, so a
// dot is wider than the cell it is aimed at, and a page prints darker than
// its share of dots. A print has the original's lightness when the light it
// reflects, between white paper and solid ink, equals the pixel's relative
// luminance Y (linear light, not the gamma-encoded sRGB value).
//
// Where the rows' pitch is known, the light that each level of a screen
// reflects is measured (printed_tone.h): dots that touch or overlap leave
// less paper white than dots landing independently would, and at 360 rows
// per inch a dot covers about six cells.
//
// Elsewhere the model stands: a dot covers a cells 1/dpi wide and 1/180 in
// high, and of a share f of cells with dots landing independently the paper
// left white is (1 - f)^a, so f = 1 - Y^(1 / a).
//
// White stays free of dots and black is fully inked at every resolution.
#include "zova_ID/tone_curve.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "zova_ID/printed_tone.h"
#include "zova_ID/screen.h"

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

// The relative luminance of a CIE 1976 L*.
double LuminanceOf(double lightness) {
  return lightness > 8 ? std::pow((lightness + 16) / 116, 3) : lightness * 27 / 24389;
}

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

ToneCurve::ToneCurve(ScreenKind screen, int dpi, int ydpi)
    : below_((screen == kOrdered ? kOrderedLevels : kDiffusionLevels) + 1) {
  if (screen == kOrdered) {
    for (const auto& t : kOrderedTones) {
      if (t.dpi == dpi && t.ydpi == ydpi) {
        Measured<kOrderedLevels>(t.lightness);
        return;
      }
    }
  } else {
    for (const auto& t : kDiffusionTones) {
      if (t.dpi == dpi && t.ydpi == ydpi) {
        Measured<kDiffusionLevels>(t.lightness);
        return;
      }
    }
  }
  // A pixel that needs the coverage f gets the levels up to f rounded.
  const int n = levels();
  for (int k = 1; k <= n; ++k) below_[k] = LuminanceBelowCoverage((k - 0.5) / n, dpi);
}

// A level that prints no darker than some level below it is never stopped
// at: a pixel gets it only together with the next level that prints darker
// than all below it, or, where none is left, only when black.
template <int kLevels>
void ToneCurve::Measured(const uint32_t (&lightness)[kLevels + 1]) {
  std::vector<uint32_t> darkest(kLevels + 1);  // of the levels up to each
  darkest[0] = lightness[0];
  for (int k = 1; k <= kLevels; ++k) darkest[k] = std::min(darkest[k - 1], lightness[k]);
  uint32_t next = 1;
  for (int k = kLevels; k >= 1; --k) {
    if (darkest[k] < darkest[k - 1]) {
      const double halfway = (darkest[k - 1] + darkest[k]) / 2000.0;
      next = static_cast<uint32_t>(
          std::clamp(std::ceil(LuminanceOf(halfway) * kWhite), 1.0, static_cast<double>(kWhite)));
    }
    below_[k] = next;
  }
}

LuminanceTable::LuminanceTable() {
  for (int c = 0; c < 3; ++c) {
    for (int v = 0; v < 256; ++v) {
      channel_[c][v] = static_cast<uint32_t>(std::lround(SrgbToLinear(v) * kWeights[c]));
    }
  }
}

// Entry i holds the number of levels k whose luminance, LuminanceBelow(k),
// lies above it: found with one look at the tone per level rather than one
// per entry.
CoverageTable::CoverageTable(const ToneCurve& tone) : steps_((kWhite >> kShift) + 1) {
  size_t darker = 0;  // entries below this one are already set
  for (int k = tone.levels(); k >= 1; --k) {
    const uint32_t below = tone.LuminanceBelow(k);
    const size_t end = std::min<size_t>(steps_.size(), (below + (1u << kShift) - 1) >> kShift);
    for (; darker < end; ++darker) steps_[darker] = static_cast<uint16_t>(k);
  }
}

}  // namespace zova
