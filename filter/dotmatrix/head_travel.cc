// The head-travel cost rule and the stretches of an inked pass.
#include "dotmatrix/head_travel.h"

#include <algorithm>
#include <numeric>

#include "dotmatrix/commands.h"

namespace zova {

double HeadTravelCost::PrintInchesPerSecond(unsigned dpi) const {
  const double firing_dpi = dpi > adjacentDpi ? dpi / 2.0 : dpi;
  return std::min(dotsPerSecond / firing_dpi, topInchesPerSecond);
}

bool HeadTravelCost::SlewsOver(size_t columns, unsigned dpi) const {
  const double inches = static_cast<double>(columns) / dpi;
  return inches / slewInchesPerSecond + moveSeconds < inches / PrintInchesPerSecond(dpi);
}

size_t HeadMove::Reachable(size_t column, unsigned dpi) const {
  if (unitsPerInch == 0 || dpi == 0) return 0;
  // A move lands on a column where column x unitsPerInch / dpi is whole.
  const uint64_t step = dpi / std::gcd(dpi, unitsPerInch);
  const uint64_t farthest = uint64_t{maxUnits} * dpi / unitsPerInch;
  const uint64_t wanted = std::min<uint64_t>(column, farthest);
  return static_cast<size_t>(wanted - wanted % step);
}

unsigned HeadMove::Units(size_t column, unsigned dpi) const {
  return static_cast<unsigned>(uint64_t{column} * unitsPerInch / dpi);
}

namespace {

bool Inked(const uint8_t* band, size_t column) {
  const uint8_t* bytes = band + column * kBytesPerColumn;
  return (bytes[0] | bytes[1] | bytes[2]) != 0;
}

}  // namespace

std::vector<PassStretch> InkedStretches(const uint8_t* band, size_t columns, unsigned dpi,
                                        const HeadMove& move, const HeadTravelCost& cost) {
  std::vector<PassStretch> stretches;
  for (size_t c = 0; c < columns;) {
    if (!Inked(band, c)) {
      ++c;
      continue;
    }
    size_t end = c + 1;
    while (end < columns && Inked(band, end)) ++end;
    // An inked run [c, end). The head reaches it by a move from the left
    // margin or across the gap after the last stretch, unless printing the
    // gap is as quick; a move lands on a reachable column at or before c.
    const size_t start = move.Reachable(c, dpi);
    const size_t printed_to = stretches.empty() ? 0 : stretches.back().end;
    const bool moves = stretches.empty()
                           ? move.unitsPerInch != 0
                           : start > printed_to && cost.SlewsOver(start - printed_to, dpi);
    if (moves) {
      stretches.push_back({start, end});
    } else if (stretches.empty()) {
      stretches.push_back({0, end});
    } else {
      stretches.back().end = end;
    }
    c = end;
  }
  return stretches;
}

}  // namespace zova
