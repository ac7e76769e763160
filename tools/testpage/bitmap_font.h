// A 5x7 bitmap font for the pages this tool draws: digits, capitals (small
// letters are drawn as capitals) and the punctuation test pages need. A
// character the font lacks is drawn as a box.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace zova::testpage {

inline constexpr unsigned kGlyphColumns = 5;
inline constexpr unsigned kGlyphRows = 7;
// Glyph columns from one character to the next: one blank column between.
inline constexpr unsigned kGlyphAdvance = kGlyphColumns + 1;

// A character's rows, top first; bit 4 is the leftmost column.
using GlyphRows = std::array<uint8_t, kGlyphRows>;
GlyphRows Glyph(char c);

// An 8-bit grey image, one byte per pixel (0 black, 255 white), rows top
// down. Drawing is clipped to it.
struct GreyCanvas {
  uint8_t* pixels = nullptr;
  unsigned width = 0, height = 0;

  void Fill(long x, long y, long w, long h, uint8_t value);
};

// Width in pixels of text drawn with this horizontal scale.
unsigned TextWidth(std::string_view text, unsigned scale_x);

// Draws text with its top-left corner at (x, y), each glyph dot a block of
// scale_x by scale_y pixels of the ink, so text keeps its proportions on
// pages whose two resolutions differ.
void DrawText(GreyCanvas& canvas, long x, long y, std::string_view text, unsigned scale_x,
              unsigned scale_y, uint8_t ink = 0);

}  // namespace zova::testpage
