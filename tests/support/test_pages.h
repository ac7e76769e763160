// Generated 1-bit pages for round trips through the output routines and the
// stream decoder, and a dot-for-dot comparison with a decoded page.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>

#include "dotmatrix/packed_bitmap.h"
#include "testpage/testpage.h"

namespace zova::testing {

// Every dot set with probability `density`.
inline PackedBitmap RandomBitmap(unsigned width, unsigned height, double density, unsigned seed) {
  PackedBitmap page(width, height);
  std::mt19937 rng(seed);
  std::bernoulli_distribution dot(density);
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < width; ++x) page.Set(x, y, dot(rng));
  }
  return page;
}

// Paragraphs of text (a blank right edge) with blank runs of 2 to 5 bands
// between them.
inline PackedBitmap ParagraphBitmap(unsigned width, unsigned height, unsigned seed) {
  PackedBitmap page(width, height);
  std::mt19937 rng(seed);
  unsigned top = 0;
  while (top < height) {
    const unsigned depth =
        std::min(height - top, std::uniform_int_distribution<unsigned>(60, 150)(rng));
    const PackedBitmap text = testpage::TextBitmap(width, depth, static_cast<unsigned>(rng()));
    for (unsigned y = 0; y < depth; ++y) {
      std::copy(text.Row(y), text.Row(y) + text.stride(), page.Row(top + y));
    }
    top += depth + std::uniform_int_distribution<unsigned>(48, 120)(rng);
  }
  return page;
}

// Share of [x0, x1) x [y0, y1), the whole image by default, that is dots.
inline double Coverage(const PackedBitmap& dots, size_t x0, size_t x1, size_t y0, size_t y1) {
  size_t n = 0;
  for (size_t y = y0; y < y1; ++y) {
    for (size_t x = x0; x < x1; ++x) n += dots.Get(x, y);
  }
  return static_cast<double>(n) / static_cast<double>((x1 - x0) * (y1 - y0));
}
inline double Coverage(const PackedBitmap& dots) {
  return Coverage(dots, 0, dots.width(), 0, dots.height());
}

// Whether the bits after the last dot of each row, up to the byte's end, are
// all 0.
inline bool PaddingClear(const PackedBitmap& dots) {
  if (dots.width() % 8 == 0) return true;
  const auto pad = static_cast<uint8_t>(0xFF >> (dots.width() % 8));
  for (size_t y = 0; y < dots.height(); ++y) {
    if (dots.Row(y)[dots.stride() - 1] & pad) return false;
  }
  return true;
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
  const size_t width = std::max<size_t>(expected.width(), decoded.width());
  const size_t height = std::max<size_t>(expected.height(), decoded.height());
  for (size_t y = 0; y < height; ++y) {
    for (size_t x = 0; x < width; ++x) {
      const bool want = x < expected.width() && y < expected.height() &&
                        expected.Get(static_cast<unsigned>(x), static_cast<unsigned>(y));
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
