// Generated 1-bit pages for round trips through the output routines and the
// stream decoder, and a dot-for-dot comparison of two pages.
#pragma once

#include <cstdint>
#include <random>
#include <sstream>
#include <string>

#include "tools/preview/packed_bitmap.h"

namespace zova::testing {

using preview::PackedBitmap;

// Every dot set with probability `density`.
inline PackedBitmap RandomPage(size_t width, size_t height, double density, unsigned seed) {
  PackedBitmap page(width, height);
  std::mt19937 rng(seed);
  std::bernoulli_distribution dot(density);
  for (size_t y = 0; y < height; ++y) {
    for (size_t x = 0; x < width; ++x) {
      if (dot(rng)) page.Set(x, y);
    }
  }
  return page;
}

// Lines of glyph-like strokes between blank margins: a blank right edge, and
// blank runs between paragraphs longer than several bands.
inline PackedBitmap TextPage(size_t width, size_t height, unsigned seed) {
  PackedBitmap page(width, height);
  std::mt19937 rng(seed);
  const size_t margin = width / 10;
  const size_t line_height = 14;
  size_t top = 3;
  int line = 0;
  while (top + line_height <= height) {
    // Glyphs 5-9 dots wide with 2-dot gaps, words of 2-8 glyphs; the line
    // stops somewhere before the right margin.
    const size_t end = width - margin - std::uniform_int_distribution<size_t>(0, width / 3)(rng);
    size_t x = margin;
    while (x + 9 < end) {
      const int glyphs = std::uniform_int_distribution<int>(2, 8)(rng);
      for (int g = 0; g < glyphs && x + 9 < end; ++g) {
        const size_t w = std::uniform_int_distribution<size_t>(5, 9)(rng);
        const uint32_t strokes = static_cast<uint32_t>(rng());
        for (size_t dy = 0; dy < 10; ++dy) {
          for (size_t dx = 0; dx < w; ++dx) {
            const bool edge = dx == 0 || dx == w - 1 || dy == 0 || dy == 9 || dy == 5;
            if (edge && (strokes >> ((dx + dy) % 32)) & 1) page.Set(x + dx, top + dy);
          }
        }
        x += w + 2;
      }
      x += 6;
    }
    top += line_height + 4;
    // Paragraph breaks: a blank run of 2 to 5 bands.
    if (++line % 6 == 0) top += std::uniform_int_distribution<size_t>(48, 120)(rng);
  }
  return page;
}

// Empty when `decoded` holds exactly the dots of `expected`; otherwise the
// first difference and the counts. The decoded page may be narrower (trimmed
// blank columns) or longer (the page length) than the one printed.
inline std::string DotDifference(const PackedBitmap& expected, const PackedBitmap& decoded) {
  size_t missing = 0, extra = 0;
  std::ostringstream first;
  auto note = [&](const char* what, size_t x, size_t y) {
    if (missing + extra == 0) first << what << " dot at x=" << x << " y=" << y;
  };
  const size_t width = std::max(expected.width(), decoded.width());
  const size_t height = std::max(expected.height(), decoded.height());
  for (size_t y = 0; y < height; ++y) {
    for (size_t x = 0; x < width; ++x) {
      const bool want = x < expected.width() && y < expected.height() && expected.Get(x, y);
      const bool got = x < decoded.width() && y < decoded.height() && decoded.Get(x, y);
      if (want && !got) note("missing", x, y), ++missing;
      if (got && !want) note("extra", x, y), ++extra;
    }
  }
  if (missing + extra == 0) return "";
  first << " (" << missing << " missing, " << extra << " extra)";
  return first.str();
}

}  // namespace zova::testing
