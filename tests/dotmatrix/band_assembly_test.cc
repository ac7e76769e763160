// Gathering rows into 24-dot bands, with and without shingling.
#include <gtest/gtest.h>

#include "support/band_fixture.h"

namespace zova {
namespace {

using testing::LqFeed;

class BandAssemblyTest : public testing::BandTest {};

TEST_F(BandAssemblyTest, UnshingledBandGoesOutOnThe24thRow) {
  StartPage("N", 180, 180, 3);
  // Column 0 dotted on every row, column 1 on the first group only, column 2
  // on the last row only.
  Rows(8, "XX.");
  Rows(15, "X..");
  EXPECT_EQ(Written(), "") << "nothing before the band is complete";
  Row("X.X");
  EXPECT_EQ(Written(), "0D 1B 25 31 00 03 FF FF FF FF 00 00 00 00 01");
  // The next band starts afresh, one band's feed (16 units of ESC % 5) lower.
  Rows(24, "X");
  EXPECT_EQ(Written(), "0D 1B 25 35 10 1B 25 31 00 03 FF FF FF 00 00 00 00 00 00");
}

TEST_F(BandAssemblyTest, ShingledColumnsAlternateBetweenPassBuffers) {
  // Odd width: the last column has no partner.
  StartPage("LQ", 180, 180, 5);
  Rows(23, "XXXXX");
  EXPECT_EQ(Written(), "");
  Row("XXXXX");
  // Buffer 0: group 0 whole, then the odd columns of group 1 and the even
  // columns of group 2.
  EXPECT_EQ(Written(), "0D 1B 2A 27 05 00 FF 00 FF FF FF 00 FF 00 FF FF FF 00 FF 00 FF");
  Rows(7, "XXXXX");
  EXPECT_EQ(Written(), "");
  Row("XXXXX");
  // Buffer 1, 8 dot rows lower: groups 1 to 3, the other half of each.
  EXPECT_EQ(Written(),
            "0D " + LqFeed(1) + " 1B 2A 27 05 00 FF 00 FF 00 FF 00 FF 00 FF 00 FF 00 FF 00 FF");
  // Buffer 1 catches up with the next band: 2 units before buffer 0 again.
  Rows(16, "XXXXX");
  EXPECT_EQ(Written(),
            "0D " + LqFeed(2) + " 1B 2A 27 05 00 00 FF 00 FF 00 FF 00 FF 00 FF 00 FF 00 FF 00");
}

TEST_F(BandAssemblyTest, BlankRowsStillCountAsRows) {
  StartPage("N", 180, 180, 8);
  Rows(24, "........");
  EXPECT_EQ(Written(), "") << "a blank band sends nothing";
  // ... but its feed is pending, and the next band holds only its own rows.
  Row("X");
  Rows(23, "........");
  // Trimmed in steps of 3 columns from the end: 2 of the 8 stay.
  EXPECT_EQ(Written(), "0D 1B 25 35 10 1B 25 31 00 02 80 00 00 00 00 00");
}

TEST_F(BandAssemblyTest, RowsAreCutOrPaddedToThePlannedWidth) {
  // A row wider than the plan is cut: the bands hold the planned columns.
  StartPage("N", 180, 180, 4);
  Rows(24, "XXXXXXXXXXXXXXXX");
  EXPECT_EQ(Written(), "0D 1B 25 31 00 04 FF FF FF FF FF FF FF FF FF FF FF FF");
  // A shorter row is blank beyond its end.
  StartPage("N", 60, 60, 12);
  Rows(24, "X");
  EXPECT_EQ(Written(), "0D 1B 25 31 00 01 FF FF FF");
}

TEST_F(BandAssemblyTest, ShingledAt360UsesStaggeredModesAndFeeds) {
  StartPage("LQ", 360, 360, 1);
  Rows(24, "X");
  EXPECT_EQ(Written(), "0D 1B 2A 48 01 00 FF 00 FF");
  Rows(8, "X");
  EXPECT_EQ(Written(), "0D " + LqFeed(1) + " 1B 2A 48 01 00 FF 00 FF");
  Rows(16, "X");
  // Column 0 of buffer 0 holds only every other group: here group 4.
  EXPECT_EQ(Written(), "0D " + LqFeed(5) + " 1B 2A 48 01 00 00 FF 00");
}

}  // namespace
}  // namespace zova
