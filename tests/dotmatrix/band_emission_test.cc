// Band commands, trimming, the two-pass mode, paper feed and the page end.
#include <gtest/gtest.h>

#include "support/band_fixture.h"

namespace zova {
namespace {

using testing::LqFeed;

class BandEmissionTest : public testing::BandTest {};

TEST_F(BandEmissionTest, LqModeByteForEveryResolution) {
  const struct {
    unsigned r0, r1;
    int line_count;
    const char* command;
  } cases[] = {
      {60, 60, 3, "1B 2A 00"},   {120, 120, 3, "1B 2A 01"}, {180, 180, 0, "1B 2A 27"},
      {180, 180, 3, "1B 2A 27"}, {240, 240, 3, "1B 2A 03"}, {360, 180, 0, "1B 2A 29"},
      {360, 180, 3, "1B 2A 28"}, {360, 360, 0, "1B 2A 49"}, {360, 360, 3, "1B 2A 48"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.r0 << "x" << c.r1 << " after " << c.line_count << " groups");
    StartPage("LQ", c.r0, c.r1, 1);
    out.LineCount = c.line_count;
    SetColumn(0, 0, 0x80, 0, 0);
    OutputRows(out, 0);
    EXPECT_EQ(Written().substr(0, 17), std::string("0D ") + c.command + " 01 00");
  }
}

TEST_F(BandEmissionTest, ColumnCountByteOrderOfEachDialect) {
  StartPage("LQ", 180, 180, 1000);
  SetColumn(0, 999, 1, 0, 0);
  OutputRows(out, 0);
  EXPECT_EQ(Written().substr(0, 17), "0D 1B 2A 27 E8 03");

  StartPage("N", 180, 180, 1000);
  SetColumn(0, 999, 1, 0, 0);
  OutputRows(out, 0);
  EXPECT_EQ(Written().substr(0, 17), "0D 1B 25 31 03 E8");
}

TEST_F(BandEmissionTest, TrimsTrailingBlankColumnsInSixtiethsOfAnInch) {
  // 180 dpi: steps of 3 columns from the end. Of 7 blank columns 6 go; the
  // seventh shares its step with a dotted column.
  StartPage("N", 180, 180, 10);
  SetColumn(0, 0, 0x80, 0, 0);
  SetColumn(0, 2, 0, 0, 0x01);
  OutputRows(out, 0);
  EXPECT_EQ(Written(), "0D 1B 25 31 00 04 80 00 00 00 00 00 00 00 01 00 00 00");

  // 360 dpi: steps of 6 columns.
  StartPage("N", 360, 360, 14);
  SetColumn(0, 1, 0x40, 0, 0);
  OutputRows(out, 0);
  EXPECT_EQ(Written(), "0D 1B 25 31 00 02 00 00 00 40 00 00");

  // Below 60 dpi there is no step: the band goes out whole.
  StartPage("N", 30, 30, 4);
  SetColumn(0, 0, 0x80, 0, 0);
  OutputRows(out, 0);
  EXPECT_EQ(Written(), "0D 1B 25 31 00 04 80 00 00 00 00 00 00 00 00 00 00 00");
}

TEST_F(BandEmissionTest, BlankBandSendsNothingButFeeds) {
  StartPage("LQ", 180, 180, 4);
  OutputRows(out, 0);
  EXPECT_EQ(Written(), "");
  EXPECT_EQ(out.LineNum, 1u);
  OutputRows(out, 1);
  EXPECT_EQ(out.LineNum, 3u) << "shingled buffer 1 adds 2";

  StartPage("LQ", 360, 360, 4);
  OutputRows(out, 1);
  EXPECT_EQ(out.LineNum, 5u) << "and 5 at 360 dpi vertically";

  StartPage("N", 180, 180, 0);
  OutputRows(out, 0);
  EXPECT_EQ(Written(), "") << "a band of width 0 is blank";
  EXPECT_EQ(out.LineNum, 1u);
}

TEST_F(BandEmissionTest, PendingFeedGoesOutOnceBeforeTheNextDottedBand) {
  StartPage("LQ", 120, 120, 1);
  for (int i = 0; i < 3; ++i) OutputRows(out, 0);
  SetColumn(0, 0, 0xFF, 0, 0);
  OutputRows(out, 0);
  const std::string written = Written();
  EXPECT_EQ(written.substr(0, 62),
            "0D 1B 28 55 01 00 14 1B 28 76 02 00 18 00 1B 28 55 01 00 40 1B");
  EXPECT_EQ(out.LineNum, 1u);
}

TEST_F(BandEmissionTest, FeedEncodings) {
  const struct {
    int lq;
    unsigned units;
    const char* bytes;
  } cases[] = {
      {0, 1, "1B 25 35 10"},
      {0, 15, "1B 25 35 F0"},
      {0, 16, "1B 25 35 FF 1B 25 35 01"},
      {0, 40, "1B 25 35 FF 1B 25 35 FF 1B 25 35 82"},
      {1, 3, "1B 28 55 01 00 14 1B 28 76 02 00 18 00 1B 28 55 01 00 40"},
      {1, 40, "1B 28 55 01 00 14 1B 28 76 02 00 40 01 1B 28 55 01 00 40"},
  };
  for (const auto& c : cases) {
    out.SimulationType = c.lq ? CommandSetId::kLq : CommandSetId::kNative;
    out.LineNum = c.units;
    PrintNLine(out);
    EXPECT_EQ(Written(), c.bytes) << c.units << " units";
    EXPECT_EQ(out.LineNum, 0u);
  }
}

TEST_F(BandEmissionTest, TwoPassModeSendsEveryByteOnce) {
  // 120 dpi, even byte count: even positions first, then odd ones.
  StartPage("LQ", 120, 120, 2);
  SetColumn(0, 0, 0x11, 0x12, 0x13);
  SetColumn(0, 1, 0x21, 0x22, 0x23);
  OutputRows(out, 0);
  EXPECT_EQ(Written(),
            "0D 1B 2A 01 02 00 11 00 13 00 22 00 "
            "0D 1B 2A 01 02 00 00 12 00 21 00 23");

  // Odd byte count: each pass still carries exactly the announced bytes.
  StartPage("LQ", 240, 240, 1);
  SetColumn(0, 0, 0x11, 0x12, 0x13);
  OutputRows(out, 0);
  EXPECT_EQ(Written(), "0D 1B 2A 03 01 00 11 00 13 0D 1B 2A 03 01 00 00 12 00");

  StartPage("N", 120, 120, 3);
  SetColumn(0, 0, 0x11, 0x12, 0x13);
  SetColumn(0, 2, 0x31, 0x32, 0x33);
  OutputRows(out, 0);
  EXPECT_EQ(Written(),
            "0D 1B 25 31 00 03 11 00 13 00 00 00 31 00 33 "
            "0D 1B 25 31 00 03 00 12 00 00 00 00 00 32 00");
}

TEST_F(BandEmissionTest, EmittedBufferIsCleared) {
  StartPage("N", 180, 180, 2);
  SetColumn(0, 1, 0xFF, 0xFF, 0xFF);
  OutputRows(out, 0);
  Written();
  OutputRows(out, 0);
  EXPECT_EQ(Written(), "") << "the same band is not printed twice";
}

TEST_F(BandEmissionTest, EndPagePrintsTheUnfinishedGroup) {
  StartPage("N", 180, 180, 1);
  Rows(5, "X");
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(EndPage(out));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "DEBUG: Shingling0:0\n");
  EXPECT_EQ(Written(), "0D 1B 25 31 00 01 F8 00 00 0C");
  EXPECT_TRUE(out.CompBuffer.empty());
  EXPECT_TRUE(out.LineBlock.empty());
}

TEST_F(BandEmissionTest, EndPageOfShingledPageKeepsPaperOrder) {
  // 12 rows: group 0 in buffer 0, the 4 rows of group 1 in buffer 1, which
  // prints 8 dot rows lower.
  StartPage("LQ", 180, 180, 1);
  Rows(12, "X");
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(EndPage(out));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "DEBUG: Shingling0:1\n");
  EXPECT_EQ(Written(),
            "0D 1B 2A 27 01 00 FF 00 00 0D " + LqFeed(1) + " 1B 2A 27 01 00 F0 00 00 0C");
}

TEST_F(BandEmissionTest, EndPageFlushOrderFollowsTheOffsets) {
  const struct {
    int line_count, even_offset, odd_offset;
    const char* first;  // the band that goes out first, higher on the paper
    unsigned feed;
    const char* second;
  } cases[] = {
      // Buffer 0 just went out: buffer 1 lies higher on the paper.
      {3, 0, 2, "AA", 2, "55"},
      {4, 1, 0, "55", 1, "AA"},
  };
  ::testing::internal::CaptureStderr();
  for (const auto& c : cases) {
    StartPage("LQ", 180, 180, 1);
    out.LineCount = c.line_count;
    out.EvenOffset = c.even_offset;
    out.OddOffset = c.odd_offset;
    SetColumn(0, 0, 0x55, 0, 0);
    SetColumn(1, 0, 0xAA, 0, 0);
    EXPECT_TRUE(EndPage(out));
    EXPECT_EQ(Written(), std::string("0D 1B 2A 27 01 00 ") + c.first + " 00 00 0D " +
                             LqFeed(c.feed) + " 1B 2A 27 01 00 " + c.second + " 00 00 0C");
  }
  ::testing::internal::GetCapturedStderr();
}

TEST_F(BandEmissionTest, EndPageDropsPendingFeed) {
  ::testing::internal::CaptureStderr();
  StartPage("N", 180, 180, 1);
  Rows(24, "X");
  Rows(48, ".");
  Written();
  EXPECT_TRUE(EndPage(out));
  EXPECT_EQ(Written(), "0C") << "a completed band is not sent again; the feed is dropped";
  EXPECT_EQ(out.LineNum, 0u);

  StartPage("N", 180, 180, 1);
  Rows(8, "X");
  EXPECT_TRUE(EndPage(out));
  EXPECT_EQ(Written(), "0D 1B 25 31 00 01 FF 00 00 0C") << "a partly filled band is flushed";
  ::testing::internal::GetCapturedStderr();
}

}  // namespace
}  // namespace zova
