// Which characters print as text, judged on pages painted here: a block of
// ink in a character's cell stands for its glyph.
#include "doctext/text_page.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace zova::doctext {
namespace {

constexpr unsigned kDpi = 180;
constexpr unsigned kWidth = 1000, kHeight = 400;  // pixels

const FontEncodings& Fonts() {
  static const FontEncodings fonts = FontEncodings::Parse(
      "name type encoding emb sub uni object ID\n---- ---- ---- --- --- --- ---------\n"
      "Courier Type 1 Standard no no no 7 0\nHelvetica Type 1 Standard no no no 8 0\n");
  return fonts;
}

// An A4 page at 180 dpi, both renders white until painted.
struct Page {
  DocumentPage text;
  std::vector<std::vector<uint8_t>> drawn, textFree;
  Page() : drawn(kHeight, std::vector<uint8_t>(3 * kWidth, 0xFF)), textFree(drawn) {
    text.fonts = {"Courier", "Helvetica"};
  }
  // A character at x on the baseline y (points), `em` wide in ems.
  void Char(char32_t code, double x, double y, double size, double em, uint32_t font = 0) {
    text.chars.push_back({code, x, y, em * size, size, em, true, font});
  }
  // Paints [x0, x1) x [y0, y1), in points, into one render or both.
  static void Paint(std::vector<std::vector<uint8_t>>& render, double x0, double y0, double x1,
                    double y1, uint8_t grey) {
    for (int y = static_cast<int>(y0 * kDpi / 72); y < static_cast<int>(y1 * kDpi / 72); ++y) {
      for (int x = static_cast<int>(x0 * kDpi / 72); x < static_cast<int>(x1 * kDpi / 72); ++x) {
        for (int c = 0; c < 3; ++c) render[y][3 * x + c] = grey;
      }
    }
  }
  // A glyph's ink: a block from 6 points above the baseline to `below` it.
  void Ink(double x, double y, double below = 0) {
    Paint(drawn, x + 2, y - 6, x + 5, y + below, 0);
  }

  TextPage Judge() {
    TextPageSettings settings;
    settings.fonts = &Fonts();
    settings.table = text::FindCharacterTable("PC437");
    settings.width = kWidth;
    settings.height = kHeight;
    settings.pageWidth = 595;
    settings.pageLength = 842;
    TextPage page(text, settings);
    for (unsigned y = 0; y < kHeight; ++y) page.AddRows(y, drawn[y].data(), textFree[y].data());
    page.Decide();
    return page;
  }
};

// 7.27 points a character, 1 % over 10 cpi's 7.2: the 10th character would
// land 9 x 0.07 points (3.15/360 inch) off, beyond 1/120 inch, and starts a
// run of its own, and so does the 19th.
TEST(DocumentPageTest, ACharacterThatWouldLandOffItsPlaceStartsARun) {
  Page page;
  for (int k = 0; k < 20; ++k) {
    page.Char(U'A', 72 + 7.27 * k, 100, 12, 7.27 / 12);
    page.Ink(72 + 7.27 * k, 100);
  }
  const TextPage judged = page.Judge();
  EXPECT_EQ(judged.printed(), 20u);
  const std::vector<text::PlacedLine> lines = judged.Lines();
  ASSERT_EQ(lines.size(), 1u);
  // The head stands 20/180 inch above the baseline, 100 points down.
  EXPECT_EQ(lines[0].position, 500u - 40u);
  ASSERT_EQ(lines[0].runs.size(), 3u);
  const unsigned starts[] = {360, 687, 1014};  // 72 + 7.27 k points, in 1/360 inch
  const size_t lengths[] = {9, 9, 2};
  for (size_t r = 0; r < 3; ++r) {
    EXPECT_EQ(lines[0].runs[r].x, starts[r]) << r;
    EXPECT_EQ(lines[0].runs[r].text.size(), lengths[r]) << r;
    EXPECT_EQ(lines[0].runs[r].pitch, text::Pitch::k10);
  }
}

TEST(DocumentPageTest, WhatIsUnderOrBesideAGlyphKeepsItGraphics) {
  Page page;
  // A on a grey box; B above a proportional line whose ink its own
  // descender reaches; C alone; a space; D at 9 points, 13.3 to the inch.
  page.Paint(page.textFree, 60, 80, 90, 110, 200);
  page.Paint(page.drawn, 60, 80, 90, 110, 200);
  page.Char(U'A', 72, 100, 12, 0.6);
  page.Ink(72, 100);
  page.Char(U'B', 100, 100, 12, 0.6);
  page.Ink(100, 100, 5);
  page.Char(U'x', 100, 112, 12, 0.5, 1);
  page.Char(U'i', 106, 112, 12, 0.222, 1);
  page.Ink(100, 112);
  page.Char(U'C', 130, 100, 12, 0.6);
  page.Ink(130, 100);
  page.Char(U' ', 137.2, 100, 12, 0.6);
  page.Char(U'D', 200, 100, 9, 0.6);
  page.Ink(200, 100);
  const TextPage judged = page.Judge();
  EXPECT_EQ(judged.printed(), 2u) << judged.Summary();  // C and the space
  EXPECT_EQ(judged.fallbacks()[static_cast<size_t>(Fallback::kBackground)], 1u);
  EXPECT_EQ(judged.fallbacks()[static_cast<size_t>(Fallback::kNeighbour)], 1u);
  EXPECT_EQ(judged.fallbacks()[static_cast<size_t>(Fallback::kProportional)], 2u);
  EXPECT_EQ(judged.fallbacks()[static_cast<size_t>(Fallback::kSize)], 1u);

  // C's ink goes from the drawn rows; A's, B's and the rest stay.
  for (double y : {96.0, 99.0}) {
    std::vector<uint8_t> row = page.drawn[static_cast<size_t>(y * kDpi / 72)];
    judged.Erase(static_cast<unsigned>(y * kDpi / 72), row.data());
    for (double x : {133.0, 76.0, 104.0, 203.0}) {
      const size_t px = 3 * static_cast<size_t>(x * kDpi / 72);
      EXPECT_EQ(row[px], x == 133.0 ? 0xFF : 0x00) << x << "," << y;
    }
  }
  const std::vector<text::PlacedLine> lines = judged.Lines();
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].runs.size(), 1u);
  EXPECT_EQ(lines[0].runs[0].text, U"C");
  EXPECT_EQ(lines[0].runs[0].x, 650u);
}

}  // namespace
}  // namespace zova::doctext
