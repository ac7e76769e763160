// The preview's font for text pages: every letter of the tables drawn and
// none like another, the box for what it lacks, and the test pages' own font
// left as it was.
#include "preview/preview_font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "text/character_tables.h"

namespace zova {
namespace {

using preview::PreviewGlyph;
using testpage::GlyphRows;

constexpr GlyphRows kBox = {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F};

TEST(PreviewFontTest, WhatTheFontLacksIsTheBox) {
  for (const char32_t c : {U'\u4E00', U'\uFFFD', U'\u0007', U'Σ'}) EXPECT_EQ(PreviewGlyph(c), kBox);
}

// Every letter of these tables is drawn, and no two look alike (a mark that
// reads like another would turn Ö into Ő or Ž into Ż on the preview).
TEST(PreviewFontTest, TableLettersAreDrawnAndDistinct) {
  for (const char* name : {"PC850", "PC852", "ISO8859-15", "PC866"}) {
    std::map<GlyphRows, unsigned> seen;
    for (const char16_t code : *text::FindCharacterTable(name)->upper) {
      const bool letter = (code >= 0xC0 && code <= 0x17F && code != u'×' && code != u'÷') ||
                          (code >= 0x400 && code <= 0x45F);
      if (!letter) continue;
      const GlyphRows glyph = PreviewGlyph(code);
      EXPECT_NE(glyph, kBox) << name << " U+" << std::hex << unsigned{code};
      const auto [other, added] = seen.emplace(glyph, unsigned{code});
      EXPECT_TRUE(added) << name << " U+" << std::hex << unsigned{code} << " looks like U+"
                         << other->second;
    }
  }
  for (char32_t c = U'!'; c <= U'~'; ++c) EXPECT_NE(PreviewGlyph(c), kBox) << static_cast<char>(c);
  for (char32_t c = U'a'; c <= U'z'; ++c) {
    EXPECT_NE(PreviewGlyph(c), PreviewGlyph(c - 0x20)) << static_cast<char>(c);
  }
  // The test pages still draw a small letter as its capital.
  EXPECT_EQ(testpage::Glyph('a'), testpage::Glyph('A'));
}

}  // namespace
}  // namespace zova
