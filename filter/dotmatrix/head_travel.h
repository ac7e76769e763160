// Where a pass of the head prints when it prints only where it has ink: the
// head's time on a line as the writer weighs it, and the stretches of a pass
// that this makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zova {

// What the head's travel costs, from the data sheet of a current 24-pin
// passbook printer (as the preview's time model reads it). Printing runs at
// the speed of the pass's density; a move crosses blank paper at the
// carriage's top speed, after the head has stopped printing and before it
// prints again.
struct HeadTravelCost {
  // The pins fire at most this often: LQ characters (120 characters a second
  // at 10 cpi) put 12 inches a second of dots on a 1/180-inch grid.
  double dotsPerSecond = 2160;
  // Above this density neighbouring dots cannot fire in one sweep: the head
  // moves as at half the density.
  unsigned adjacentDpi = 180;
  // The carriage's top speed: high-speed draft, 480 characters a second.
  double topInchesPerSecond = 48;
  // A move slews at the top speed...
  double slewInchesPerSecond = 48;
  // ... and costs the head a stop and a restart. A blank stretch is worth a
  // move from 0.08 inch at 180 dpi, 0.14 inch at 120 and 240 dpi, 0.72 inch
  // at 60 dpi.
  double moveSeconds = 0.005;

  double PrintInchesPerSecond(unsigned dpi) const;
  // Whether moving the head across `columns` blank columns of a pass at
  // `dpi` takes less time than printing them.
  bool SlewsOver(size_t columns, unsigned dpi) const;
};

// The rule the band routines print by.
inline constexpr HeadTravelCost kHeadTravelCost{};

// A command set's horizontal move: it places the head in steps of
// 1/unitsPerInch inch, at most maxUnits from the left margin. A set without
// one has unitsPerInch 0.
struct HeadMove {
  unsigned unitsPerInch = 0;
  unsigned maxUnits = 0;

  // The column nearest `column` at or before it that a move puts the head
  // on exactly, at `dpi` columns to the inch.
  size_t Reachable(size_t column, unsigned dpi) const;
  // The move to a reachable column, in units.
  unsigned Units(size_t column, unsigned dpi) const;
};

// Columns [first, end) of a pass that print in one stretch.
struct PassStretch {
  size_t first = 0;
  size_t end = 0;
  bool operator==(const PassStretch&) const = default;
};

// The stretches a pass of `columns` columns (kBytesPerColumn bytes each,
// `band`) prints under `cost`: from the first inked column, or the reachable
// one before it, to the last inked one, split where crossing a blank stretch
// by a move beats printing it. Without a move a pass starts at column 0. A
// pass without ink has none.
std::vector<PassStretch> InkedStretches(const uint8_t* band, size_t columns, unsigned dpi,
                                        const HeadMove& move,
                                        const HeadTravelCost& cost = kHeadTravelCost);

}  // namespace zova
