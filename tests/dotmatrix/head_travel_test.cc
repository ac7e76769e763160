// Passes printed only where they have ink: the head moved by ESC $ in the
// 1/360 inch of ESC ( U (ESC/P), blank stretches crossed where a move beats
// printing them, and the moves at their limits.
#include <gtest/gtest.h>

#include "support/band_fixture.h"

namespace zova {
namespace {

// ESC ( U to 1/360 inch when `unit`, then ESC $ to `units` of it.
std::string MoveTo(unsigned units, bool unit = true) {
  char bytes[64];
  snprintf(bytes, sizeof bytes, "%s1B 24 %02X %02X ", unit ? "1B 28 55 01 00 0A " : "",
           units & 0xFF, units >> 8);
  return bytes;
}

std::string Blank(unsigned columns) {
  std::string bytes;
  for (unsigned i = 0; i < columns; ++i) bytes += "00 00 00 ";
  return bytes;
}

class HeadTravelTest : public testing::BandTest {
 protected:
  // What an Inked page writes for a band whose only dots are the top pins
  // of `columns`.
  std::string InkedBand(const char* type, unsigned dpi, unsigned width,
                        std::initializer_list<unsigned> columns) {
    PagePlan plan = testing::MakePlan(type, dpi, dpi, width);
    plan.headTravel = HeadTravel::kInked;
    StartPage(plan);
    return NextBand(width, columns);
  }
  std::string NextBand(unsigned width, std::initializer_list<unsigned> columns) {
    std::string row(width, '.');
    for (unsigned c : columns) row[c] = 'X';
    Row(row);
    Rows(23, std::string(width, '.'));
    return Written();
  }
};

TEST_F(HeadTravelTest, EachPassStartsAtItsFirstDotExactly) {
  // A column is 1/dpi inch: 100 columns at 180 dpi are 200/360. At 240 dpi
  // a column is 1.5/360, so an odd column is reached from the even one
  // before it, printed blank. At 120 and 240 dpi a top dot in an odd column
  // is a byte at an odd position, which prints in the second pass over the
  // line; the first has no ink and is left out. ESC $ reaches 32767/360
  // inch (nH at most 127): beyond, the pass starts there.
  const struct {
    const char* type;
    unsigned dpi, width, column;
    std::string bytes;  // the start of what is written
  } cases[] = {
      {"LQ", 180, 1000, 100, "0D " + MoveTo(200) + "1B 2A 27 01 00 80 00 00"},
      {"LQ", 180, 1000, 999, "0D " + MoveTo(1998) + "1B 2A 27 01 00 80 00 00"},
      {"LQ", 360, 6000, 5999, "0D " + MoveTo(5999) + "1B 2A 48 01 00 80 00 00"},
      {"LQ", 60, 10, 2, "0D " + MoveTo(12) + "1B 2A 00 01 00 80 00 00"},
      {"LQ", 120, 10, 3, "0D " + MoveTo(9) + "1B 2A 01 01 00 80 00 00"},
      {"LQ", 240, 10, 7, "0D " + MoveTo(9) + "1B 2A 03 02 00 00 00 00 80 00 00"},
      {"LQ", 360, 40000, 39999,
       "0D " + MoveTo(32767) + "1B 2A 48 41 1C " + Blank(7232) + "80 00 00"},
      // No horizontal move in the native set: the pass ends at its dot.
      {"N", 180, 20, 5, "0D 1B 25 31 00 06 " + Blank(5) + "80 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.type << " " << c.dpi << " dpi, column " << c.column);
    EXPECT_EQ(InkedBand(c.type, c.dpi, c.width, {c.column}), c.bytes);
  }
}

TEST_F(HeadTravelTest, BlankStretchIsCrossedWhereMovingBeatsPrinting) {
  // A pass prints 12 in/s at 180 dpi, 36 at 60; the head slews at 48 in/s
  // and a move costs 5 ms. A gap of g inches is worth a move when g/48 +
  // 0.005 < g/12 (g > 0.080: 15 columns, not 14) or g/36 (g > 0.72: 44, not
  // 43). The unit is set once on the line.
  const struct {
    unsigned dpi, gap;
    bool moves;
  } cases[] = {{180, 14, false}, {180, 15, true}, {60, 43, false}, {60, 44, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.gap << " blank columns at " << c.dpi << " dpi");
    const unsigned second = c.gap + 1, third = 2 * second, unit = 360 / c.dpi;
    const std::string mode = c.dpi == 180 ? "1B 2A 27 " : "1B 2A 00 ";
    const std::string dot = mode + "01 00 80 00 00";
    char whole[16];
    snprintf(whole, sizeof whole, "%02X 00 ", third + 1);
    EXPECT_EQ(InkedBand("LQ", c.dpi, third + 1, {0, second, third}),
              c.moves ? "0D " + dot + " " + MoveTo(second * unit) + dot + " " +
                            MoveTo(third * unit, false) + dot
                      : "0D " + mode + whole + "80 00 00 " + Blank(c.gap) + "80 00 00 " +
                            Blank(c.gap) + "80 00 00");
  }
  // A feed sets a unit of its own: the next move sets 1/360 again.
  InkedBand("LQ", 60, 20, {10});
  NextBand(20, {});
  EXPECT_EQ(NextBand(20, {10}),
            "0D " + testing::LqFeed(2) + " " + MoveTo(60) + "1B 2A 00 01 00 80 00 00");
}

}  // namespace
}  // namespace zova
