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

// A P4 image, one byte per pixel, 1 = dot.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> dots;
};

// A header number after whitespace and comments (Ghostscript writes one).
inline bool ReadPbmNumber(FILE* f, int* n) {
  int c = fgetc(f);
  while (c == '#' || isspace(c)) {
    if (c == '#') {
      while (c != EOF && c != '\n') c = fgetc(f);
    }
    c = fgetc(f);
  }
  ungetc(c, f);
  return fscanf(f, "%d", n) == 1 && isspace(fgetc(f));
}

// Reads a P4 image as zova_ID and Ghostscript write it.
inline std::optional<Bitmap> ReadPbm(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return std::nullopt;
  Bitmap b;
  std::optional<Bitmap> result;
  if (fgetc(f) == 'P' && fgetc(f) == '4' && ReadPbmNumber(f, &b.width) &&
      ReadPbmNumber(f, &b.height) && b.width > 0 && b.height > 0) {
    const size_t row_bytes = (static_cast<size_t>(b.width) + 7) / 8;
    std::vector<uint8_t> packed(row_bytes * b.height);
    if (fread(packed.data(), 1, packed.size(), f) == packed.size()) {
      b.dots.resize(static_cast<size_t>(b.width) * b.height);
      for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) {
          b.dots[static_cast<size_t>(y) * b.width + x] =
              (packed[y * row_bytes + x / 8] >> (7 - x % 8)) & 1;
        }
      }
      result = std::move(b);
    }
  }
  fclose(f);
  return result;
}

}  // namespace zova::bench
