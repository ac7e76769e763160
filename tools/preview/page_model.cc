// The page model: head and paper positions, and the dots of each band.
#include "preview/page_model.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>

#include "preview/page_text.h"

namespace zova::preview {

long PrinterState::Width() const {
  // 1/3600 inch: 10 cpi 360, 12 cpi 300, 15 cpi 240, 17.14 cpi 210, 20 cpi 180.
  if (pitch == 'g') return 240;
  if (pitch == 'M') return condensed ? 180 : 300;
  return condensed ? 210 : 360;
}

PrinterState ResetState(uint8_t panel_table) {
  PrinterState state;
  state.slots.fill(panel_table);
  return state;
}

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
  EndTextPass();
  const long start_x = state_.left + head_x_;
  if (start_x % x_pitch != 0) {
    snprintf(why, sizeof why,
             "the head stands %ld/3600 inch across, between two dot columns at %u dpi", start_x,
             geometry.HorizontalDpi);
    return why;
  }
  const long right = start_x + static_cast<long>(columns) * x_pitch;
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

  const size_t left = static_cast<size_t>(start_x / x_pitch);
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
    // A bit image left of the one before on the line needs a sweep of its own.
    if (!line_.empty() && start_x < line_.back().to) EndImageLine();
    line_.push_back({start_x, right, start_x + static_cast<long>(first) * x_pitch,
                     start_x + static_cast<long>(last + 1) * x_pitch, geometry.HorizontalDpi});
  }
  width_ = std::max(width_, left + columns);
  height_ = std::max(height_, top + kPinsPerColumn);
  head_x_ = right - state_.left;
  lines_.insert(paper_y_);
  return {};
}

void PageModel::StartSweep() {
  if (motion_.pending_feed != 0) {
    ++motion_.paper_moves;
    motion_.paper_travel += motion_.pending_feed;
    motion_.pending_feed = 0;
  }
}

void PageModel::Sweep(SweepTravel& travel, long& head_at, long from, long to) const {
  // Bidirectionally the head prints from whichever end it is nearer.
  const long to_left = std::abs(head_at - from), to_right = std::abs(head_at - to);
  const bool leftward = !state_.unidirectional && to_right < to_left;
  travel.slew += leftward ? to_right : to_left;
  head_at = leftward ? from : to;
}

void PageModel::EndTextPass() {
  if (text_from_ < 0) return;
  StartSweep();
  Sweep(motion_.seeking, seeking_at_, text_from_, text_to_);
  Sweep(motion_.sending, sending_at_, text_from_, text_to_);
  ++motion_.passes;
  (text_draft_ ? motion_.text_draft : motion_.text_lq) += text_to_ - text_from_;
  text_from_ = -1;
}

void PageModel::EndImageLine() {
  if (line_.empty()) return;
  StartSweep();
  const auto sweep = [&](SweepTravel& travel, long& head_at, long Stretch::*from,
                         long Stretch::*to) {
    Sweep(travel, head_at, line_.front().*from, line_.back().*to);
    for (size_t i = 0; i < line_.size(); ++i) {
      travel.printed[line_[i].dpi] += line_[i].*to - line_[i].*from;
      if (i > 0) travel.slew += line_[i].*from - line_[i - 1].*to;
    }
  };
  sweep(motion_.seeking, seeking_at_, &Stretch::ink_from, &Stretch::ink_to);
  sweep(motion_.sending, sending_at_, &Stretch::from, &Stretch::to);
  motion_.passes += line_.size();
  line_.clear();
}

std::string PageModel::LineFeed() {
  if (line_feeds_ + 1 >= kMaxPageCharacters) {
    return "more than " + std::to_string(kMaxPageCharacters) + " line feeds on one page";
  }
  MarkText();
  Feed(state_.spacing);
  ++line_feeds_;
  return {};
}

std::string PageModel::MoveHead(long x) {
  if (state_.left + x >= state_.right) {
    char why[120];
    snprintf(why, sizeof why, "moves the head %.2f inches across, at or beyond the right margin",
             static_cast<double>(state_.left + x) / kUnitsPerInch);
    return why;
  }
  EndTextPass();
  // A move to the left starts the line's next sweep.
  if (!line_.empty() && state_.left + x < line_.back().to) EndImageLine();
  head_x_ = x;
  return {};
}

std::string PageModel::MoveTo(long y) {
  char why[160];
  if (y < paper_y_) {
    snprintf(why, sizeof why,
             "moves the paper back up to %.3f inches from %.3f: the filter only moves down",
             static_cast<double>(y) / kUnitsPerInch, static_cast<double>(paper_y_) / kUnitsPerInch);
    return why;
  }
  if (y + kCharacterHeight > kMaxPageLength) {
    snprintf(why, sizeof why, "moves the head %.2f inches down, below the longest form (%u inches)",
             static_cast<double>(y) / kUnitsPerInch, kMaxFormInches);
    return why;
  }
  placed_ = true;
  Feed(y - paper_y_);
  return {};
}

std::string PageModel::PrintCharacter(uint8_t byte) {
  char why[160];
  const long width = state_.Width();
  const long x = state_.left + head_x_;
  if (x + width > state_.right) {
    snprintf(why, sizeof why,
             "a character %.2f inches across, beyond the right margin at %.2f inches: the "
             "filter ends its lines within the margins",
             static_cast<double>(x) / kUnitsPerInch,
             static_cast<double>(state_.right) / kUnitsPerInch);
    return why;
  }
  if (paper_y_ + (placed_ ? kCharacterHeight : state_.spacing) > kMaxPageLength) {
    snprintf(why, sizeof why, "a character %.2f inches down, below the longest form (%u inches)",
             static_cast<double>(paper_y_) / kUnitsPerInch, kMaxFormInches);
    return why;
  }
  if (characters_.size() >= kMaxPageCharacters) {
    snprintf(why, sizeof why, "more than %zu characters on one page", kMaxPageCharacters);
    return why;
  }
  if (characters_.empty()) first_text_state_ = state_;
  EndImageLine();
  MarkText();
  if (text_from_ >= 0 && text_draft_ != state_.draft) EndTextPass();
  if (text_from_ < 0) {
    text_from_ = x;
    text_draft_ = state_.draft;
  }
  text_to_ = x + width;
  PlacedCharacter c;
  c.y = static_cast<uint32_t>(paper_y_);
  c.line = static_cast<uint32_t>(line_feeds_);
  c.x = static_cast<uint16_t>(x);
  c.left = static_cast<uint16_t>(state_.left);
  c.width = static_cast<uint16_t>(width);
  c.height = static_cast<uint16_t>(placed_ ? kCharacterHeight : state_.spacing);
  c.byte = byte;
  c.table = state_.slots[state_.slot];
  c.draft = state_.draft;
  c.bold = state_.bold;
  c.underline = state_.underline;
  characters_.push_back(c);
  head_x_ += width;
  return {};
}

std::string PageModel::SetPageLength(long units) {
  if (units > kMaxPageLength) {
    char why[160];
    snprintf(why, sizeof why,
             "a page of %ld lines (%.2f inches), longer than the longest form (%u inches)",
             units / kUnitsPerLine, static_cast<double>(units) / kUnitsPerInch, kMaxFormInches);
    return why;
  }
  state_.page_length = units;
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
  EndTextPass();
  EndImageLine();
  DecodedPage page;
  page.dialect = dialect_;
  if (!(geometry_ == BandGeometry{})) page.geometry = geometry_;
  const long y_pitch = kUnitsPerInch / page.geometry.VerticalDpi;
  const long x_pitch = kUnitsPerInch / page.geometry.HorizontalDpi;
  const size_t length_rows = static_cast<size_t>(state_.page_length / y_pitch);
  size_t width = width_, height = std::max(height_, length_rows);
  for (const PlacedCharacter& c : characters_) {
    width = std::max(width, static_cast<size_t>((c.x + c.width) / x_pitch));
    height = std::max(height, static_cast<size_t>((c.y + c.height) / y_pitch));
  }
  if (keep_dots_) page.dots = PackedBitmap(width, height);
  for (size_t y = 0; y < rows_.size(); ++y) {
    std::copy(rows_[y].begin(), rows_[y].end(), page.dots.Row(y));
    for (uint8_t byte : rows_[y]) page.dot_count += static_cast<size_t>(std::popcount(byte));
  }
  page.bands = lines_.size();
  page.motion = motion_;
  page.motion.paper_y = paper_y_;
  page.motion.page_length = state_.page_length;
  rows_.clear();
  page.text = text_;
  page.placed = placed_;
  if (text_) {
    page.text_lines = line_feeds_ + 1;
    if (placed_) {
      std::set<uint32_t> lines;
      for (const PlacedCharacter& c : characters_) lines.insert(c.y);
      page.text_lines = lines.size();
    }
    page.text_state = characters_.empty() ? state_ : first_text_state_;
    if (keep_dots_ && draw_characters_) {
      preview::DrawCharacters(characters_, page.geometry, page.dots);
    }
    page.characters = std::move(characters_);
  }
  return page;
}

std::string DescribePage(const DecodedPage& page) {
  if (page.text) {
    std::string line = DescribeText(page);
    if (page.bands > 0) line += "; bit images: " + DescribeGraphics(page);
    return line;
  }
  return DescribeGraphics(page);
}

namespace {

// LQ bit images whose paper feed between bands no reading of the head
// explains (stream_decoder.h): 60, 120 and 240 dpi, and 360 rows per inch.
bool UnconfirmedFeed(const DecodedPage& page) {
  const BandGeometry g = page.geometry;
  return page.dialect == Dialect::kLq && page.bands > 0 &&
         (g.VerticalDpi == 360 || g.HorizontalDpi == 60 || g.HorizontalDpi == 120 ||
          g.HorizontalDpi == 240);
}

}  // namespace

std::string DescribeGraphics(const DecodedPage& page) {
  char line[300];
  snprintf(
      line, sizeof line, "%s, %ux%u dpi%s, %zux%zu dots, %zu bands, %zu dots printed%s",
      page.dialect == Dialect::kLq ? "LQ" : "native", page.geometry.HorizontalDpi,
      page.geometry.VerticalDpi,
      page.dialect == Dialect::kNative ? " (density not in the stream)" : "", page.dots.width(),
      page.dots.height(), page.bands, page.dot_count,
      UnconfirmedFeed(page)
          ? "; unconfirmed: how the printer feeds the paper between these bands (drawn as read)"
          : "");
  return line;
}

}  // namespace zova::preview
