// The character tables against the code page definitions, and the LQ text
// commands as Epson's ESC/P reference gives their bytes.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "support/memory_sink.h"
#include "text/character_tables.h"
#include "text/text_writer.h"

namespace zova::text {
namespace {

using zova::testing::Hex;

std::vector<uint8_t> Encode(const char* table, std::u32string_view text) {
  TextEncoder encoder(*FindCharacterTable(table));
  std::vector<uint8_t> out;
  encoder.Encode(text, out);
  return out;
}

// ü ß ñ € Ж ő in each table; the bytes are `iconv -t <charset>`'s, '?'
// where it refuses the character.
TEST(CharacterTablesTest, NationalCharacters) {
  struct Case {
    const char* table;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"PC437", {0x81, 0xE1, 0xA4, '?', '?', '?'}},
      {"PC850", {0x81, 0xE1, 0xA4, '?', '?', '?'}},
      {"PC858", {0x81, 0xE1, 0xA4, 0xD5, '?', '?'}},
      {"PC852", {0x81, 0xE1, '?', '?', '?', 0x8B}},
      {"PC866", {'?', '?', '?', '?', 0x86, '?'}},
      {"ISO8859-1", {0xFC, 0xDF, 0xF1, '?', '?', '?'}},
      {"ISO8859-15", {0xFC, 0xDF, 0xF1, 0xA4, '?', '?'}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Encode(c.table, U"üßñ€Жő")), Hex(c.bytes)) << c.table;
  }
}

// Every byte of each table's upper half decodes, in glibc's own tables, to
// the character the encoder prints with that byte.
TEST(CharacterTablesTest, EveryUpperByteAsIconvDecodesIt) {
  const std::pair<const char*, const char*> tables[] = {
      {"PC437", "IBM437"},           {"PC850", "IBM850"}, {"PC858", "IBM858"},
      {"PC852", "IBM852"},           {"PC866", "IBM866"}, {"ISO8859-1", "ISO-8859-1"},
      {"ISO8859-15", "ISO-8859-15"},
  };
  for (const auto& [name, charset] : tables) {
    iconv_t cd = iconv_open("UTF-32LE", charset);
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << charset;
    int checked = 0;
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
      char in = static_cast<char>(b);
      uint8_t out[4];
      char* ip = &in;
      char* op = reinterpret_cast<char*>(out);
      size_t il = 1, ol = 4;
      if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) continue;
      const char32_t c = out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24;
      if (c < 0xA0) continue;  // C1 controls are no characters to print
      ++checked;
      EXPECT_EQ(Encode(name, std::u32string(1, c)), std::vector<uint8_t>{static_cast<uint8_t>(b)})
          << name << " byte " << b;
    }
    iconv_close(cd);
    EXPECT_GE(checked, 96) << name;
  }
}

TEST(CharacterTablesTest, OneWarningNamesWhatCannotPrint) {
  TextEncoder encoder(DefaultCharacterTable());
  std::vector<uint8_t> out;
  encoder.Encode(U"€ Жő €\uFFFD", out);
  EXPECT_EQ(std::string(out.begin(), out.end()), "? ?? ??");
  // U+FFFD is the decoder's to report.
  EXPECT_EQ(encoder.Warning(), "4 characters cannot be printed in PC437 and print as ?: €, Ж, ő");
  EXPECT_EQ(FindCharacterTable("cp850"), FindCharacterTable("PC850"));
  EXPECT_EQ(FindCharacterTable("PC999"), nullptr);
}

// ESC ( t 3 0 d1 d2 d3: Epson's table numbers.
TEST(LqTextCommandsTest, JobStartByteForByte) {
  LqTextSetup setup;
  setup.geometry = {.width = 2976, .length = 4209, .left = 142, .right = 142};  // A4, 10 mm
  setup.frame = {.leftColumn = 4, .columns = 74, .lines = 70};
  setup.table = FindCharacterTable("PC858");
  const std::vector<uint8_t> expected = {
      0x1B, '@', 0x1B, 'x',  1,                                  // reset, letter quality
      0x1B, '(', 'U',  1,    0,    10,                           // unit 10/3600 inch
      0x1B, '(', 'C',  2,    0,    0x71, 0x10,                   // 4209/360 inch
      0x1B, 'O', 0x1B, 'P',  0x1B, '2',                          // no skip, 10 cpi, 1/6 inch
      0x1B, 'l', 4,    0x1B, 'Q',  78,                           // margins
      0x1B, '(', 't',  3,    0,    1,    44,   0, 0x1B, 't', 1,  // PC858 in table 1
      0x1B, 'R', 0,    0x1B, '6'};
  EXPECT_EQ(Hex(LqTextJobStart(setup)), Hex(expected));
}

TEST(LqTextCommandsTest, PitchSpacingQualityAndTables) {
  struct Case {
    Pitch pitch;
    LineSpacing spacing;
    Quality quality;
    const char* table;
    std::vector<uint8_t> expected;  // from ESC x to ESC t
  };
  const Case cases[] = {
      {Pitch::k12, LineSpacing::k8, Quality::kDraft, "PC437", {'M', 0x1B, '0'}},
      {Pitch::k15, LineSpacing::k6, Quality::kLetter, "PC850", {'g', 0x1B, '2'}},
      {Pitch::k17, LineSpacing::k6, Quality::kLetter, "PC852", {'P', 0x0F, 0x1B, '2'}},
      {Pitch::k20, LineSpacing::k8, Quality::kLetter, "PC866", {'M', 0x0F, 0x1B, '0'}},
      {Pitch::k10, LineSpacing::k6, Quality::kLetter, "ISO8859-1", {'P', 0x1B, '2'}},
      {Pitch::k10, LineSpacing::k6, Quality::kLetter, "ISO8859-15", {'P', 0x1B, '2'}},
  };
  const std::pair<uint8_t, uint8_t> numbers[] = {{1, 0},  {3, 0},   {10, 0},
                                                 {14, 0}, {29, 16}, {29, 15}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    LqTextSetup setup;
    setup.geometry = {.width = 2880, .length = 3960, .pitch = c.pitch, .spacing = c.spacing};
    setup.frame = {.leftColumn = 0, .columns = 80, .lines = 66};
    setup.quality = c.quality;
    setup.table = FindCharacterTable(c.table);
    std::vector<uint8_t> expected = {0x1B, '@',  0x1B, 'x',  uint8_t{c.quality == Quality::kLetter},
                                     0x1B, '(',  'U',  1,    0,
                                     10,   0x1B, '(',  'C',  2,
                                     0,    0x78, 0x0F, 0x1B, 'O',
                                     0x1B};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    expected.insert(
        expected.end(),
        {0x1B, 'l', 0, 0x1B, 'Q', 80, 0x1B, '(', 't', 3, 0, 1, numbers[i].first, numbers[i].second,
         0x1B, 't', 1, 0x1B, 'R', 0,  0x1B, '6'});
    EXPECT_EQ(Hex(LqTextJobStart(setup)), Hex(expected)) << c.table;
  }
}

}  // namespace
}  // namespace zova::text
