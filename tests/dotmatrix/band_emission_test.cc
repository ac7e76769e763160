// Band commands, trimming, the two-pass mode, paper feed and the page end.
#include <gtest/gtest.h>

#include "support/band_fixture.h"

namespace zova {
namespace {

using testing::LqFeed;
using testing::MakePlan;

class BandEmissionTest : public testing::BandTest {};

TEST_F(BandEmissionTest, LqModeByteForEveryResolution) {
  // The first band of a page: shingled pages send it after their third
  // group, in the staggered mode where there is one.
  const struct {
    unsigned r0, r1;
    const char* command;
  } cases[] = {
      {60, 60, "1B 2A 00"},   {120, 120, "1B 2A 01"}, {180, 180, "1B 2A 27"},
      {240, 240, "1B 2A 03"}, {360, 180, "1B 2A 28"}, {360, 360, "1B 2A 48"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.r0 << "x" << c.r1);
    StartPage("LQ", c.r0, c.r1, 1);
    Rows(24, "X");
    EXPECT_EQ(Written().substr(0, 17), std::string("0D ") + c.command + " 01 00");
  }
}

TEST_F(BandEmissionTest, ColumnCountByteOrderOfEachDialect) {
  const std::string last_column = std::string(999, '.') + "X";
  StartPage("LQ", 180, 180, 1000);
  Rows(24, last_column);
  EXPECT_EQ(Written().substr(0, 17), "0D 1B 2A 27 E8 03");

  StartPage("N", 180, 180, 1000);
  Rows(24, last_column);
  EXPECT_EQ(Written().substr(0, 17), "0D 1B 25 31 03 E8");
}

TEST_F(BandEmissionTest, TrimsTrailingBlankColumnsInSixtiethsOfAnInch) {
  // 180 dpi: steps of 3 columns from the end. Of 7 blank columns 6 go; the
  // seventh shares its step with a dotted column.
  StartPage("N", 180, 180, 10);
  Band({{0x80, 0, 0},
        {0, 0, 0},
        {0, 0, 0x01},
        {0, 0, 0},
        {0, 0, 0},
        {0, 0, 0},
        {0, 0, 0},
        {0, 0, 0},
        {0, 0, 0},
        {0, 0, 0}});
  EXPECT_EQ(Written(), "0D 1B 25 31 00 04 80 00 00 00 00 00 00 00 01 00 00 00");

  // 360 dpi: steps of 6 columns.
  StartPage("N", 360, 360, 14);
  Band({{0, 0, 0}, {0x40, 0, 0}});
  EXPECT_EQ(Written(), "0D 1B 25 31 00 02 00 00 00 40 00 00");

  // Below 60 dpi there is no step: the band goes out whole.
  StartPage("N", 30, 30, 4);
  Band({{0x80, 0, 0}});
  EXPECT_EQ(Written(), "0D 1B 25 31 00 04 80 00 00 00 00 00 00 00 00 00 00 00");
}

TEST_F(BandEmissionTest, BlankBandsSendNothingButFeed) {
  // Two blank pass buffers: 1 unit after buffer 0, 2 after shingled buffer
  // 1, 5 on pages of 360 rows per inch; then the dotted buffer 0.
  const struct { unsigned r0, r1, units; } cases[] = {{180, 180, 3}, {360, 360, 6}};
  for (const auto& c : cases) {
    StartPage("LQ", c.r0, c.r1, 1);
    Rows(32, ".");
    EXPECT_EQ(Written(), "");
    Rows(16, "X");
    const std::string feed = "0D " + LqFeed(c.units);
    EXPECT_EQ(Written().substr(0, feed.size()), feed) << c.r0 << "x" << c.r1;
  }

  StartPage("N", 180, 180, 0);
  Rows(24, "X");
  EXPECT_EQ(Written(), "") << "a band of width 0 is blank";
}

TEST_F(BandEmissionTest, PendingFeedGoesOutOnceBeforeTheNextDottedBand) {
  StartPage("LQ", 120, 120, 1);
  Rows(72, ".");
  Rows(8, "X");
  Rows(16, ".");
  EXPECT_EQ(Written().substr(0, 62),
            "0D 1B 28 55 01 00 14 1B 28 76 02 00 18 00 1B 28 55 01 00 40 1B");
  Rows(24, "X");
  EXPECT_EQ(Written().substr(0, 62), "0D " + LqFeed(1) + " 1B") << "sent once, then 1 unit";
}

TEST_F(BandEmissionTest, FeedEncodings) {
  // `units` blank bands, then a dotted one: the feed goes out before it.
  const struct {
    const char* type;
    unsigned units;
    const char* bytes;
  } cases[] = {
      {"N", 1, "1B 25 35 10"},
      {"N", 15, "1B 25 35 F0"},
      {"N", 16, "1B 25 35 FF 1B 25 35 01"},
      {"N", 40, "1B 25 35 FF 1B 25 35 FF 1B 25 35 82"},
      {"LQ", 3, "1B 28 55 01 00 14 1B 28 76 02 00 18 00 1B 28 55 01 00 40"},
      {"LQ", 40, "1B 28 55 01 00 14 1B 28 76 02 00 40 01 1B 28 55 01 00 40"},
  };
  for (const auto& c : cases) {
    StartPage(c.type, 60, 60, 1);
    Rows(24 * static_cast<int>(c.units), ".");
    Rows(24, "X");
    const std::string band = std::string(c.type) == "LQ" ? "1B 2A 00 01 00" : "1B 25 31 00 01";
    EXPECT_EQ(Written(), std::string("0D ") + c.bytes + " " + band + " FF FF FF")
        << c.units << " units";
  }
}

TEST_F(BandEmissionTest, TwoPassModeSendsEveryByteOnce) {
  // 120 dpi, even byte count: even positions first, then odd ones.
  StartPage("LQ", 120, 120, 2);
  Band({{0x11, 0x12, 0x13}, {0x21, 0x22, 0x23}});
  EXPECT_EQ(Written(),
            "0D 1B 2A 01 02 00 11 00 13 00 22 00 "
            "0D 1B 2A 01 02 00 00 12 00 21 00 23");

  // Odd byte count: each pass still carries exactly the announced bytes.
  StartPage("LQ", 240, 240, 1);
  Band({{0x11, 0x12, 0x13}});
  EXPECT_EQ(Written(), "0D 1B 2A 03 01 00 11 00 13 0D 1B 2A 03 01 00 00 12 00");

  StartPage("N", 120, 120, 3);
  Band({{0x11, 0x12, 0x13}, {0, 0, 0}, {0x31, 0x32, 0x33}});
  EXPECT_EQ(Written(),
            "0D 1B 25 31 00 03 11 00 13 00 00 00 31 00 33 "
            "0D 1B 25 31 00 03 00 12 00 00 00 00 00 32 00");
}

TEST_F(BandEmissionTest, EmittedBufferIsCleared) {
  StartPage("N", 180, 180, 2);
  Band({{0, 0, 0}, {0xFF, 0xFF, 0xFF}});
  Written();
  Rows(24, "..");
  EXPECT_EQ(Written(), "") << "the same band is not printed twice";
}

TEST_F(BandEmissionTest, EndPagePrintsTheUnfinishedGroup) {
  StartPage("N", 180, 180, 1);
  Rows(5, "X");
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(out.EndPage());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "DEBUG: Shingling0:0\n");
  EXPECT_EQ(Written(), "0D 1B 25 31 00 01 F8 00 00 0C");
  Rows(24, "X");
  EXPECT_TRUE(out.EndPage());
  EXPECT_EQ(Written(), "") << "rows after the page's end have nowhere to go";
}

TEST_F(BandEmissionTest, EndPageOfShingledPageKeepsPaperOrder) {
  // 12 rows: group 0 in buffer 0, the 4 rows of group 1 in buffer 1, which
  // prints 8 dot rows lower.
  StartPage("LQ", 180, 180, 1);
  Rows(12, "X");
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(out.EndPage());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "DEBUG: Shingling0:1\n");
  EXPECT_EQ(Written(),
            "0D 1B 2A 27 01 00 FF 00 00 0D " + LqFeed(1) + " 1B 2A 27 01 00 F0 00 00 0C");
}

TEST_F(BandEmissionTest, EndPageFlushOrderFollowsTheOffsets) {
  // The buffer higher on the paper goes first, so that its feed is the one
  // pending: after 24 rows buffer 1 (1 unit pending), after 32 rows buffer 0
  // (buffer 1's 2 units pending). The other order would feed 1 unit more.
  const struct {
    unsigned width;
    int rows;
    std::string tail;
  } cases[] = {
      {1, 24, "0D " + LqFeed(1) + " 1B 2A 27 01 00 FF 00 00 0C"},
      {2, 32, "0D " + LqFeed(2) + " 1B 2A 27 02 00 00 00 00 FF 00 00 0C"},
  };
  ::testing::internal::CaptureStderr();
  for (const auto& c : cases) {
    StartPage("LQ", 180, 180, c.width);
    Rows(c.rows, std::string(c.width, 'X'));
    Written();
    EXPECT_TRUE(out.EndPage());
    EXPECT_EQ(Written(), c.tail) << c.rows << " rows";
  }
  ::testing::internal::GetCapturedStderr();
}

TEST_F(BandEmissionTest, EndPageDropsPendingFeed) {
  ::testing::internal::CaptureStderr();
  StartPage("N", 180, 180, 1);
  Rows(24, "X");
  Rows(48, ".");
  Written();
  EXPECT_TRUE(out.EndPage());
  EXPECT_EQ(Written(), "0C") << "a completed band is not sent again; the feed is dropped";

  StartPage("N", 180, 180, 1);
  Rows(8, "X");
  EXPECT_TRUE(out.EndPage());
  EXPECT_EQ(Written(), "0D 1B 25 31 00 01 FF 00 00 0C") << "a partly filled band is flushed";
  ::testing::internal::GetCapturedStderr();
}

}  // namespace
}  // namespace zova
