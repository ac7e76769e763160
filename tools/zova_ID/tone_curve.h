// The tone curve of zova_ID: from RGB to the share of paper that a screen
// covers with dots, compensated for the spread of a 24-pin dot.
#pragma once

#include <array>
#include <cstdint>

namespace zova {

// Luminance 0 (black) to 255 (white) of an RGB pixel, ITU-R BT.601 weights.
// The weights add up to 256, so a neutral grey keeps its value.
inline int Luma(const uint8_t* rgb) {
  return (77 * rgb[0] + 150 * rgb[1] + 29 * rgb[2] + 128) >> 8;
}

// How many cells one printed dot covers at this horizontal resolution, at
// least 1. Resolutions outside 60 to 360 dpi are taken as the nearer end.
double DotGainExponent(int dpi);

// Share of the paper, 0 to 1, that the screens fill with dots for a pixel of
// this luminance at this resolution. 0 for white, 1 for black, rising with
// darkness.
double InkCoverage(int luma, int dpi);

// InkCoverage as whole steps of `full` for each luminance: what the screens
// compare against their thresholds.
std::array<uint16_t, 256> CoverageTable(int dpi, uint16_t full);

}  // namespace zova
