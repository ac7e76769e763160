// The page model: head and paper positions, and the dots of each band.
#include "preview/page_model.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>

namespace zova::preview {

std::string PageModel::PrintBand(BandGeometry geometry, const uint8_t* data, size_t columns) {
  char why[160];
  if (geometry_ == BandGeometry{}) {
    geometry_ = geometry;
  } else if (geometry != geometry_) {
    snprintf(why, sizeof why, "a bit image at %ux%u dpi on a page that printed at %ux%u dpi",
             geometry.HorizontalDpi, geometry.VerticalDpi, geometry_.HorizontalDpi,
             geometry_.VerticalDpi);
    return why;
  }
  const long x_pitch = kUnitsPerInch / geometry.HorizontalDpi;
  const long y_pitch = kUnitsPerInch / geometry.VerticalDpi;
  if (paper_y_ % y_pitch != 0) {
    snprintf(why, sizeof why, "the paper stands %ld/3600 inch down, between two dot rows at %u dpi",
             paper_y_, geometry.VerticalDpi);
    return why;
  }
  const long right = head_x_ + static_cast<long>(columns) * x_pitch;
  const long bottom = paper_y_ + static_cast<long>(kPinsPerColumn) * y_pitch;
  if (right > kMaxPageWidth) {
    snprintf(why, sizeof why,
             "the band reaches %.2f inches across, beyond the widest carriage (%u inches)",
             static_cast<double>(right) / kUnitsPerInch, kMaxCarriageInches);
    return why;
  }
  if (bottom > kMaxPageLength) {
    snprintf(why, sizeof why,
             "the band reaches %.2f inches down, below the longest form (%u inches)",
             static_cast<double>(bottom) / kUnitsPerInch, kMaxFormInches);
    return why;
  }

  const size_t left = static_cast<size_t>(head_x_ / x_pitch);
  const size_t top = static_cast<size_t>(paper_y_ / y_pitch);
  size_t first = columns, last = 0;
  for (size_t c = 0; c < columns; ++c) {
    const uint8_t* column = data + c * kBytesPerColumn;
    for (size_t pin = 0; pin < kPinsPerColumn; ++pin) {
      if (column[pin / 8] & (0x80 >> (pin % 8))) {
        SetDot(left + c, top + pin);
        first = std::min(first, c);
        last = c;
      }
    }
  }
  if (first < columns) {
    Pass(geometry.HorizontalDpi, head_x_ + static_cast<long>(first) * x_pitch,
         head_x_ + static_cast<long>(last + 1) * x_pitch);
  }
  width_ = std::max(width_, left + columns);
  height_ = std::max(height_, top + kPinsPerColumn);
  head_x_ = right;
  lines_.insert(paper_y_);
  return {};
}

void PageModel::Pass(unsigned dpi, long from, long to) {
  if (motion_.pending_feed != 0) {
    ++motion_.paper_moves;
    motion_.paper_travel += motion_.pending_feed;
    motion_.pending_feed = 0;
  }
  // Bidirectionally the head prints from whichever end it is nearer.
  const long to_left = std::abs(head_at_ - from), to_right = std::abs(head_at_ - to);
  const bool leftward = !unidirectional_ && to_right < to_left;
  motion_.slew += leftward ? to_right : to_left;
  head_at_ = leftward ? from : to;
  motion_.printed[dpi] += to - from;
  ++motion_.passes;
}

std::string PageModel::SetPageLength(long units) {
  if (units > kMaxPageLength) {
    char why[160];
    snprintf(why, sizeof why,
             "a page of %ld lines (%.2f inches), longer than the longest form (%u inches)",
             units / kUnitsPerLine, static_cast<double>(units) / kUnitsPerInch, kMaxFormInches);
    return why;
  }
  page_length_ = units;
  return {};
}

void PageModel::SetDot(size_t x, size_t y) {
  if (!keep_dots_) return;
  if (rows_.size() <= y) rows_.resize(y + 1);
  std::vector<uint8_t>& row = rows_[y];
  if (row.size() <= x / 8) row.resize(x / 8 + 1, 0);
  row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

DecodedPage PageModel::Finish() {
  DecodedPage page;
  page.dialect = dialect_;
  if (!(geometry_ == BandGeometry{})) page.geometry = geometry_;
  const long y_pitch = kUnitsPerInch / page.geometry.VerticalDpi;
  const size_t length_rows = static_cast<size_t>(page_length_ / y_pitch);
  if (keep_dots_) page.dots = PackedBitmap(width_, std::max(height_, length_rows));
  for (size_t y = 0; y < rows_.size(); ++y) {
    std::copy(rows_[y].begin(), rows_[y].end(), page.dots.Row(y));
    for (uint8_t byte : rows_[y]) page.dot_count += static_cast<size_t>(std::popcount(byte));
  }
  page.bands = lines_.size();
  page.motion = motion_;
  page.motion.paper_y = paper_y_;
  page.motion.page_length = page_length_;
  rows_.clear();
  return page;
}

std::string DescribePage(const DecodedPage& page) {
  char line[200];
  snprintf(line, sizeof line, "%s, %ux%u dpi%s, %zux%zu dots, %zu bands, %zu dots printed",
           page.dialect == Dialect::kLq ? "LQ" : "native", page.geometry.HorizontalDpi,
           page.geometry.VerticalDpi,
           page.dialect == Dialect::kNative ? " (density not in the stream)" : "",
           page.dots.width(), page.dots.height(), page.bands, page.dot_count);
  return line;
}

}  // namespace zova::preview
