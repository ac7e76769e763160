// The printer's test page read back by scanning its pixels: where its frame,
// ruler ticks, grey patches and settings are, measured on the page.
#include "testpage/alignment_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "testpage/bitmap_font.h"
#include "testpage/page_text.h"

namespace zova::testpage {
namespace {

long Px(double mm, unsigned dpi) { return std::lround(mm / 25.4 * dpi); }

// The black pixels of row `line` (or column, when !row) from `from` to `to`.
std::vector<long> Black(const Image& im, bool row, long line, long from, long to) {
  std::vector<long> black;
  for (long i = from; i < to; ++i) {
    if ((row ? im.At(i, line) : im.At(line, i)) == 0) black.push_back(i);
  }
  return black;
}

// Whether some line across a ruler's ticks, within `depth` of its edge,
// has black exactly at every multiple of step_mm between from and to.
bool RulerAt(const Image& im, bool top, double step_mm, unsigned dpi, long depth, long from,
             long to) {
  std::vector<long> marks;
  for (int k = 1; Px(k * step_mm, dpi) < to; ++k) {
    if (Px(k * step_mm, dpi) >= from) marks.push_back(Px(k * step_mm, dpi));
  }
  for (long line = 1; line < depth; ++line) {
    if (Black(im, top, line, from, to) == marks) return true;
  }
  return false;
}

TEST(AlignmentPageTest, FrameRulersRampAndSettings) {
  const struct {
    unsigned dpi_x, dpi_y;
    double width_mm, height_mm;
  } cases[] = {{180, 180, 210, 297},
               {360, 360, 210, 297},
               {180, 360, 210, 297},
               {360, 180, 76.2, 76.2},
               {180, 180, 76.2, 76.2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.dpi_x) + "x" + std::to_string(c.dpi_y) + " dpi, " +
                 std::to_string(c.width_mm) + " mm wide");
    const TestPageSettings s{"LQ simulation", "Mixed", c.dpi_x, c.dpi_y, 1.46, -0.5, "A4"};
    Image im{unsigned(Px(c.width_mm, c.dpi_x)), unsigned(Px(c.height_mm, c.dpi_y)), {}};
    im.grey = DrawTestPage(s, im.width, im.height);
    ASSERT_EQ(im.grey.size(), size_t{im.width} * im.height);
    const long w = im.width, h = im.height;
    EXPECT_EQ(Black(im, true, 0, 0, w).size(), im.width);
    EXPECT_EQ(Black(im, true, h - 1, 0, w).size(), im.width);
    EXPECT_EQ(Black(im, false, 0, 0, h).size(), im.height);
    EXPECT_EQ(Black(im, false, w - 1, 0, h).size(), im.height);
    EXPECT_EQ(im.At(w - 2, h / 2), 255);  // one dot wide
    EXPECT_EQ(im.At(w / 2, h - 2), 255);

    // Left rulers from the top corner, top ones from beside them.
    EXPECT_TRUE(RulerAt(im, false, 10, c.dpi_y, Px(20, c.dpi_x), 1, h - 1));
    EXPECT_TRUE(RulerAt(im, false, 25.4, c.dpi_y, Px(20, c.dpi_x), 1, h - 1));
    EXPECT_TRUE(RulerAt(im, true, 10, c.dpi_x, Px(19, c.dpi_y), Px(30, c.dpi_x), w - 1));
    EXPECT_TRUE(RulerAt(im, true, 25.4, c.dpi_x, Px(19, c.dpi_y), Px(30, c.dpi_x), w - 1));

    // Each grey is one solid patch of at least 15 mm, left to right; on A4
    // all of them, with white before and black after.
    struct Box {
      long x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    } boxes[256];
    for (long y = 0; y < h; ++y) {
      for (long x = 0; x < w; ++x) {
        Box& b = boxes[im.At(x, y)];
        b = {std::min(b.x0, x), std::min(b.y0, y), std::max(b.x1, x), std::max(b.y1, y)};
      }
    }
    long last_x = 0, last_right = 0, top = 0, mid = 0, side = 0;
    for (int k = 1; k <= 9; ++k) {
      const uint8_t grey = uint8_t(std::lround(255 * (1 - k / 10.0)));
      const auto [x0, y0, x1, y1] = boxes[grey];
      if (c.width_mm < 100) {
        EXPECT_EQ(x1, -1) << "no room for the ramp";
        continue;
      }
      ASSERT_GE(x1 - x0 + 1, 15 / 25.4 * c.dpi_x) << k;
      ASSERT_GE(y1 - y0 + 1, 15 / 25.4 * c.dpi_y) << k;
      for (long y = y0; y <= y1; ++y) {
        for (long x = x0; x <= x1; ++x) ASSERT_EQ(im.At(x, y), grey) << k;
      }
      EXPECT_GT(x0, last_x);
      EXPECT_FALSE(Black(im, true, y1 + Px(3, c.dpi_y), x0, x1 + 1).empty()) << "label " << k;
      if (k > 1) {
        EXPECT_EQ(y0, top);
      }
      last_x = x0, last_right = x1, top = y0, mid = (y0 + y1) / 2, side = x1 - x0 + 1;
      for (long x = x0 - side; k == 1 && x < x0; ++x) EXPECT_EQ(im.At(x, mid), 255);
    }
    for (long x = last_right + 1; x <= last_right + side; ++x) EXPECT_EQ(im.At(x, mid), 0);

    const std::string settings[] = {
        "COMMAND SET: LQ SIMULATION", "PRINT AS: MIXED", "MEDIA: A4",
        "TOP OFFSET: +1.5 MM  LEFT OFFSET: -0.5 MM",
        "RESOLUTION: " + std::to_string(c.dpi_x) + " X " + std::to_string(c.dpi_y) + " DPI"};
    for (const std::string& line : settings) {
      EXPECT_TRUE(c.width_mm < 100 || HasText(im, c.dpi_x, c.dpi_y, line)) << line;
    }
  }
}

TEST(AlignmentPageTest, TinyOrEmptyPages) {
  const struct {
    unsigned width, height, dpi_x, dpi_y;
    size_t pixels;
  } cases[] = {{0, 10, 180, 180, 0}, {10, 0, 180, 180, 0}, {10, 10, 0, 180, 0},
               {10, 10, 180, 0, 0},  {1, 1, 180, 180, 1},  {2, 3, 360, 180, 6}};
  for (const auto& c : cases) {
    const std::vector<uint8_t> page =
        DrawTestPage({"Native commands", "Auto", c.dpi_x, c.dpi_y, 0, 0, "A4"}, c.width, c.height);
    ASSERT_EQ(page.size(), c.pixels);
    for (uint8_t grey : page) EXPECT_EQ(grey, 0);  // all frame
  }
}

TEST(BitmapFontTest, GlyphsScaledAndClipped) {
  // '4', an unknown character as a box, and '%', with a blank column
  // between glyphs.
  const char* rows[7] = {"...#..#####.##...", "..##..#...#.##..#", ".#.#..#...#....#.",
                         "#..#..#...#...#..", "#####.#...#..#...", "...#..#...#.#..##",
                         "...#..#####....##"};
  const struct {
    long x, y;
    unsigned sx, sy;
  } cases[] = {{1, 2, 2, 3}, {-3, -4, 1, 2}, {0, 0, 3, 1}};
  for (const auto& c : cases) {
    std::vector<uint8_t> pixels(40 * 30, 255);
    GreyCanvas canvas{pixels.data(), 40, 30};
    DrawText(canvas, c.x, c.y, "4@%", c.sx, c.sy);
    for (long y = 0; y < 30; ++y) {
      for (long x = 0; x < 40; ++x) {
        const long gx = (x - c.x) >= 0 ? (x - c.x) / long(c.sx) : -1;
        const long gy = (y - c.y) >= 0 ? (y - c.y) / long(c.sy) : -1;
        const bool dot = gx >= 0 && gx < 17 && gy >= 0 && gy < 7 && rows[gy][gx] == '#';
        ASSERT_EQ(pixels[y * 40 + x], dot ? 0 : 255) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(Glyph('q'), Glyph('Q'));
  EXPECT_EQ(TextWidth("4@%", 2), 34u);
}

}  // namespace
}  // namespace zova::testpage
