// Lines of text placed on a page of bit images: their commands byte for
// byte as Epson's ESC/P reference spells them, and printed between the
// bands without moving a dot of them.
#include "text/placed_lines.h"

#include <gtest/gtest.h>

#include "cups/stderr_messages.h"
#include "dotmatrix/dotmatrix.h"
#include "preview/stream_decoder.h"
#include "support/memory_sink.h"
#include "support/page_plan.h"

namespace zova::testing {
namespace {

using text::Pitch;
using text::PlacedLine;
using text::PlacedLines;

TEST(PlacedLinesTest, EachLineAtItsPlaceInItsPitchAndWeight) {
  MemorySink memory;
  StderrMessages messages;
  OutputSink sink(memory.file(), messages);
  PlacedLines lines({{400, {{720, Pitch::k12, false, U"D"}}},
                     {100, {{360, Pitch::k17, true, U"C"}, {36, Pitch::k10, false, U"AB"}}}},
                    text::Quality::kLetter, *text::FindCharacterTable("PC850"));
  // Nothing lies above 99/360 inch.
  EXPECT_FALSE(lines.PrintAbove(sink, 99));
  sink.Flush();
  EXPECT_EQ(Hex(memory.Take()), "");

  EXPECT_TRUE(lines.PrintAbove(sink, 160));
  sink.Flush();
  EXPECT_EQ(Hex(memory.Take()),
            // LQ, PC850 (3 0) in slot 1 and selected, USA; the unit 1/360 inch.
            "1B 78 01 1B 28 74 03 00 01 03 00 1B 74 01 1B 52 00 1B 28 55 01 00 0A "
            // 100/360 inch down; 36/360 in across at 10 cpi, the reset's pitch.
            "1B 28 56 02 00 64 00 1B 24 24 00 41 42 "
            // Condensed 10 cpi (17.14) and bold, one inch across; CR.
            "0F 1B 45 1B 24 68 01 43 0D "
            // The band after them prints at 160/360 inch.
            "1B 28 56 02 00 A0 00");

  // The page's end: 12 cpi, condensed and bold off, no move after it.
  EXPECT_TRUE(lines.PrintAbove(sink, kPageEnd));
  sink.Flush();
  EXPECT_EQ(Hex(memory.Take()),
            "1B 28 55 01 00 0A 1B 28 56 02 00 90 01 1B 4D 12 1B 46 1B 24 D0 02 44 0D");
  EXPECT_FALSE(lines.PrintAbove(sink, kPageEnd));
}

// A 180 dpi page, 48 rows blank, then a band of dots, with a line above it
// and one below: the band's dots land where they land without the lines.
TEST(PlacedLinesTest, LinesPrintBetweenBandsWhichKeepTheirPlace) {
  const auto print = [](bool with_lines) {
    MemorySink memory;
    StderrMessages messages;
    OutputState out(memory.file(), messages);
    PlacedLines lines(
        {{30, {{0, Pitch::k10, false, U"Top"}}}, {600, {{72, Pitch::k10, false, U"Foot"}}}},
        text::Quality::kDraft, text::DefaultCharacterTable());
    out.Setup();
    EXPECT_TRUE(out.StartPage(MakePlan("LQ", 180, 180, 16), with_lines ? &lines : nullptr));
    const std::vector<uint8_t> blank(2, 0), dots{0xF0, 0x0F};
    for (int y = 0; y < 72; ++y) EXPECT_TRUE(out.OutputLine(y < 48 ? blank : dots));
    EXPECT_TRUE(out.EndPage());
    EXPECT_TRUE(out.Shutdown());
    return preview::DecodeStream(memory.Bytes());
  };
  const preview::DecodedStream plain = print(false), placed = print(true);
  ASSERT_FALSE(plain.error);
  ASSERT_FALSE(placed.error) << placed.error->message;
  ASSERT_EQ(placed.pages.size(), 1u);
  const preview::DecodedPage& page = placed.pages[0];
  // The band's rows, 48 to 71, as without the lines; the characters drawn
  // elsewhere.
  for (size_t y = 48; y < 72; ++y) {
    for (size_t x = 0; x < 16; ++x) {
      ASSERT_EQ(page.dots.Get(x, y), plain.pages[0].dots.Get(x, y)) << x << "," << y;
    }
  }
  // Each character's head position and place, in 1/3600 inch.
  ASSERT_EQ(page.characters.size(), 7u);
  EXPECT_EQ(page.characters[0].y, 300u);
  EXPECT_EQ(page.characters[0].x, 0u);
  EXPECT_EQ(page.characters[3].y, 6000u);
  EXPECT_EQ(page.characters[3].x, 720u);
  EXPECT_TRUE(page.placed);
  EXPECT_EQ(page.text_lines, 2u);
}

// The native set has no move to a place on a line: its pages take no lines.
TEST(PlacedLinesTest, NativePagesPrintNoLines) {
  MemorySink memory;
  StderrMessages messages;
  OutputState out(memory.file(), messages);
  PlacedLines lines({{30, {{0, Pitch::k10, false, U"Top"}}}}, text::Quality::kDraft,
                    text::DefaultCharacterTable());
  EXPECT_TRUE(out.StartPage(MakePlan("N", 180, 180, 16), &lines));
  EXPECT_TRUE(out.EndPage());
  const std::vector<uint8_t> bytes = memory.Bytes();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("Top"), std::string::npos);
}

}  // namespace
}  // namespace zova::testing
