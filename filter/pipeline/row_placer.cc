#include "pipeline/row_placer.h"

#include <algorithm>
#include <cstdlib>

namespace zova {

RowPlacer::RowPlacer(const PagePlan& plan, OutputState& out)
    : plan_(plan),
      out_(out),
      blankRows_(plan.shiftRows > 0 ? static_cast<unsigned>(plan.shiftRows) : 0),
      dropRows_(plan.shiftRows < 0 ? static_cast<unsigned>(-plan.shiftRows) : 0),
      shifted_(plan.shiftColumns != 0 ? (plan.columns + 7) / 8 : 0) {}

bool RowPlacer::Put(std::span<const uint8_t> row) {
  if (blankRows_ > 0) {
    const std::vector<uint8_t> blank((plan_.columns + 7) / 8, 0);
    for (; blankRows_ > 0 && placed_ < plan_.rows; --blankRows_, ++placed_) {
      if (!out_.OutputLine(blank)) return false;
    }
    blankRows_ = 0;  // those the page has no room for are gone
  }
  if (dropRows_ > 0) {
    --dropRows_;
    return out_.ok();
  }
  if (placed_ >= plan_.rows) return out_.ok();
  ++placed_;
  return out_.OutputLine(plan_.shiftColumns != 0 ? Shifted(row) : row);
}

// The row moved by whole bytes and then by bits, as wide as the page.
std::span<const uint8_t> RowPlacer::Shifted(std::span<const uint8_t> row) {
  const long shift = plan_.shiftColumns;
  const long bytes = static_cast<long>(shifted_.size());
  const long whole = std::labs(shift) / 8;
  const unsigned bits = static_cast<unsigned>(std::labs(shift) % 8);
  // Only the page's own columns move: what lies beyond its last stays out.
  const long last = std::min(bytes, static_cast<long>(row.size())) - 1;
  const unsigned tail = plan_.columns % 8 != 0 ? (0xFF00u >> (plan_.columns % 8)) & 0xFFu : 0xFFu;
  const auto at = [&](long i) -> unsigned {
    if (i < 0 || i > last) return 0u;
    const unsigned byte = row[static_cast<size_t>(i)];
    return i == bytes - 1 ? byte & tail : byte;
  };
  for (long j = 0; j < bytes; ++j) {
    unsigned value;
    if (shift > 0) {
      value = (at(j - whole) >> bits) | (bits != 0 ? at(j - whole - 1) << (8 - bits) : 0u);
    } else {
      value = (at(j + whole) << bits) | (bits != 0 ? at(j + whole + 1) >> (8 - bits) : 0u);
    }
    shifted_[static_cast<size_t>(j)] = static_cast<uint8_t>(value);
  }
  return shifted_;
}

}  // namespace zova
