// Passes printed only where they have ink: the head moved to each stretch in
// the unit ESC ( U sets (ESC/P), stretches split where a move beats
// printing, and the moves at their limits.
#include <gtest/gtest.h>

#include "support/band_fixture.h"

namespace zova {
namespace {

using testing::LqFeed;
using testing::MakePlan;

// ESC ( U to 1/360 inch, then ESC $ to `units` of it.
std::string MoveTo(unsigned units, bool set_unit = true) {
  char bytes[64];
  snprintf(bytes, sizeof bytes, "%s1B 24 %02X %02X ", set_unit ? "1B 28 55 01 00 0A " : "",
           units & 0xFF, units >> 8);
  return bytes;
}

// `columns` blank columns, each followed by a space.
std::string Blank(unsigned columns) {
  std::string bytes;
  for (unsigned i = 0; i < columns; ++i) bytes += "00 00 00 ";
  return bytes;
}

class HeadTravelTest : public testing::BandTest {
 protected:
  void StartInked(const char* type, unsigned r0, unsigned r1, unsigned width) {
    PagePlan plan = MakePlan(type, r0, r1, width);
    plan.headTravel = HeadTravel::kInked;
    StartPage(plan);
  }
  // One band whose only dots are the top pins of `columns`.
  void TopDots(unsigned width, std::initializer_list<unsigned> columns) {
    std::string row(width, '.');
    for (unsigned c : columns) row[c] = 'X';
    Row(row);
    Rows(23, std::string(width, '.'));
  }
};

TEST_F(HeadTravelTest, EachPassStartsAtItsFirstDot) {
  // Columns are 1/dpi inch, ESC $ counts 1/360: 100 columns at 180 dpi are
  // 200 units; at 240 dpi a column is 1.5 units, so an odd column is reached
  // from the even one before it, printed blank. At 120 and 240 dpi the
  // band's bytes at odd positions print in the second pass over the line:
  // a top dot in an odd column is there, and the first pass has no ink.
  const struct {
    const char* type;
    unsigned dpi, width, column;
    std::string bytes;
  } cases[] = {
      {"LQ", 180, 1000, 100, "0D " + MoveTo(200) + "1B 2A 27 01 00 80 00 00"},
      {"LQ", 180, 1000, 999, "0D " + MoveTo(1998) + "1B 2A 27 01 00 80 00 00"},
      {"LQ", 360, 6000, 5999, "0D " + MoveTo(5999) + "1B 2A 48 01 00 80 00 00"},
      {"LQ", 60, 10, 2, "0D " + MoveTo(12) + "1B 2A 00 01 00 80 00 00"},
      {"LQ", 120, 10, 3, "0D " + MoveTo(9) + "1B 2A 01 01 00 80 00 00"},
      {"LQ", 240, 10, 7, "0D " + MoveTo(9) + "1B 2A 03 02 00 00 00 00 80 00 00"},
      // The native set has no horizontal move: only the end is trimmed, to
      // the column.
      {"N", 180, 20, 5, "0D 1B 25 31 00 06 " + Blank(5) + "80 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.type << " " << c.dpi << " dpi, column " << c.column);
    StartInked(c.type, c.dpi, c.dpi, c.width);
    TopDots(c.width, {c.column});
    EXPECT_EQ(Written(), c.bytes);
  }
}

TEST_F(HeadTravelTest, BlankStretchIsCrossedWhereMovingBeatsPrinting) {
  // A pass prints 12 in/s at 180 dpi and 36 at 60; the head slews at 48 in/s
  // and a move costs 5 ms. A gap of g inches is worth a move when
  // g/48 + 0.005 < g/12 (g > 0.080 in: 15 columns, not 14) or g/36 (g >
  // 0.72 in: 44 columns, not 43).
  const struct {
    unsigned dpi, gap;
    bool moves;
  } cases[] = {{180, 14, false}, {180, 15, true}, {60, 43, false}, {60, 44, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.gap << " blank columns at " << c.dpi << " dpi");
    const unsigned second = c.gap + 1, third = 2 * (c.gap + 1);
    StartInked("LQ", c.dpi, c.dpi, third + 1);
    TopDots(third + 1, {0, second, third});
    const uint8_t mode = c.dpi == 180 ? 0x27 : 0x00;
    char image[32];
    snprintf(image, sizeof image, "1B 2A %02X 01 00 80 00 00", mode);
    std::string expected;
    if (c.moves) {
      const unsigned unit = 360 / c.dpi;
      // The unit is set once on the line.
      expected = "0D " + std::string(image) + " " + MoveTo(second * unit) + image + " " +
                 MoveTo(third * unit, false) + image;
    } else {
      snprintf(image, sizeof image, "1B 2A %02X %02X 00 ", mode, third + 1);
      expected = "0D " + std::string(image) + "80 00 00 " + Blank(c.gap) + "80 00 00 " +
                 Blank(c.gap) + "80 00 00";
    }
    EXPECT_EQ(Written(), expected);
  }
}

TEST_F(HeadTravelTest, FeedSetsItsOwnUnitSoTheNextMoveSetsItsAgain) {
  // 60 dpi: a band is one feed unit; 10 columns are 60/360 inch.
  StartInked("LQ", 60, 60, 20);
  TopDots(20, {10});
  Rows(24, std::string(20, '.'));
  TopDots(20, {10});
  EXPECT_EQ(Written(), "0D " + MoveTo(60) + "1B 2A 00 01 00 80 00 00 0D " + LqFeed(2) + " " +
                           MoveTo(60) + "1B 2A 00 01 00 80 00 00");
}

TEST_F(HeadTravelTest, MoveBeyondItsReachStartsThePassAtTheFarthestColumn) {
  // ESC $ reaches 32767/360 inch (nH at most 127); a page of 40000 columns
  // at 360 dpi is wider than that. A dot in its last column prints from
  // column 32767, the blank columns between printed blank.
  StartInked("LQ", 360, 180, 40000);
  TopDots(40000, {39999});
  const std::string written = Written();
  // 7233 columns: 1C 41.
  EXPECT_EQ(written.substr(0, 47), "0D " + MoveTo(32767) + "1B 2A 28 41 1C");
  EXPECT_EQ(written.size(), 47 + 7233 * 9);
  EXPECT_EQ(written.substr(written.size() - 8), "80 00 00");
}

}  // namespace
}  // namespace zova
