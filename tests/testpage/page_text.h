// Text of the test pages' bitmap font found on a page by matching its
// glyphs pixel for pixel: the alignment page's own tests and the tests that
// read its settings off a printed page.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "testpage/bitmap_font.h"

namespace zova::testpage {

struct Image {
  unsigned width = 0, height = 0;
  std::vector<uint8_t> grey;  // 0 black, 255 white
  uint8_t At(long x, long y) const { return grey[size_t(y) * width + size_t(x)]; }
};

// Whether `text`, drawn at some scale in the page's proportions, is on the
// page pixel for pixel.
inline bool HasText(const Image& im, unsigned dpi_x, unsigned dpi_y, const std::string& text) {
  for (unsigned sx = 1; sx <= 8; ++sx) {
    const unsigned sy = std::max(1u, sx * dpi_y / dpi_x);
    const unsigned w = TextWidth(text, sx), h = kGlyphRows * sy;
    std::vector<uint8_t> glyphs(size_t{w} * h, 255);
    GreyCanvas canvas{glyphs.data(), w, h};
    DrawText(canvas, 0, 0, text, sx, sy);
    const size_t first = size_t(std::find(glyphs.begin(), glyphs.end(), 0) - glyphs.begin());
    const long fx = long(first % w), fy = long(first / w);
    // Only where the page has the template's first black pixel.
    for (long y = fy; y + h - fy <= im.height; ++y) {
      for (long x = fx; x + w - fx <= im.width; ++x) {
        if (im.At(x, y) != 0) continue;
        size_t i = 0;
        while (i < glyphs.size() && im.At(x - fx + i % w, y - fy + i / w) == glyphs[i]) ++i;
        if (i == glyphs.size()) return true;
      }
    }
  }
  return false;
}

}  // namespace zova::testpage
