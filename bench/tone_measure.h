// What the tone measurements share: CIE lightness, the luminance of an sRGB
// pixel, and 1-bit images as zova_ID and Ghostscript write them.
#pragma once

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "zova_ID/tone_curve.h"

namespace zova::bench {

// CIE 1976 L* of a relative luminance, the paper being white.
inline double CieLightness(double luminance) {
  return luminance > 216.0 / 24389 ? 116 * std::cbrt(luminance) - 16 : luminance * 24389 / 27;
}

inline double SrgbLuminance(const uint8_t* rgb) {
  return 0.2126 * SrgbToLinear(rgb[0]) + 0.7152 * SrgbToLinear(rgb[1]) +
         0.0722 * SrgbToLinear(rgb[2]);
}

}  // namespace zova::bench
