// Generated 1-bit pages for round trips through the output routines and the
// stream decoder, and a dot-for-dot comparison with a decoded page.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>

#include "preview/packed_bitmap.h"
#include "testpage/testpage.h"

namespace zova::testing {

using preview::PackedBitmap;
using testpage::Bitmap;

// Every dot set with probability `density`.
inline Bitmap RandomBitmap(unsigned width, unsigned height, double density, unsigned seed) {
  Bitmap page(width, height);
  std::mt19937 rng(seed);
  std::bernoulli_distribution dot(density);
  for (uint8_t& d : page.dots) d = dot(rng);
  return page;
}

// Paragraphs of text (a blank right edge) with blank runs of 2 to 5 bands
// between them.
inline Bitmap ParagraphBitmap(unsigned width, unsigned height, unsigned seed) {
  Bitmap page(width, height);
  std::mt19937 rng(seed);
  unsigned top = 0;
  while (top < height) {
    const unsigned depth =
        std::min(height - top, std::uniform_int_distribution<unsigned>(60, 150)(rng));
    const Bitmap text = testpage::TextBitmap(width, depth, static_cast<unsigned>(rng()));
    std::copy(text.dots.begin(), text.dots.end(),
              page.dots.begin() + static_cast<long>(size_t{top} * width));
    top += depth + std::uniform_int_distribution<unsigned>(48, 120)(rng);
  }
  return page;
}

inline size_t DotCount(const Bitmap& page) {
  return static_cast<size_t>(std::count(page.dots.begin(), page.dots.end(), 1));
}

// Empty when `decoded` holds exactly the dots of `expected`; otherwise the
// first difference and the counts. The decoded page may be narrower (trimmed
// blank columns) or longer (the page length) than the one printed.
inline std::string DotDifference(const Bitmap& expected, const PackedBitmap& decoded) {
  size_t missing = 0, extra = 0;
  std::ostringstream first;
  auto note = [&](const char* what, size_t x, size_t y) {
    if (missing + extra == 0) first << what << " dot at x=" << x << " y=" << y;
  };
  const size_t width = std::max<size_t>(expected.width, decoded.width());
  const size_t height = std::max<size_t>(expected.height, decoded.height());
  for (size_t y = 0; y < height; ++y) {
    for (size_t x = 0; x < width; ++x) {
      const bool want = x < expected.width && y < expected.height &&
                        expected.at(static_cast<unsigned>(x), static_cast<unsigned>(y));
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
