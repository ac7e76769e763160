#include "text/placed_lines.h"

#include <algorithm>

#include "text/text_commands.h"

namespace zova::text {
namespace {

uint8_t Low(unsigned v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t High(unsigned v) { return static_cast<uint8_t>((v >> 8) & 0xFF); }

}  // namespace

PlacedLines::PlacedLines(std::vector<PlacedLine> lines, Quality quality,
                         const CharacterTable& table)
    : lines_(std::move(lines)),
      quality_(quality),
      table_(&table),
      encoder_(table),
      pitch_(PitchSelectOf(Pitch::k10)) {
  std::stable_sort(lines_.begin(), lines_.end(), [](const PlacedLine& a, const PlacedLine& b) {
    return a.position < b.position;
  });
  for (PlacedLine& line : lines_) {
    std::stable_sort(line.runs.begin(), line.runs.end(),
                     [](const PlacedRun& a, const PlacedRun& b) { return a.x < b.x; });
  }
}

bool PlacedLines::PrintAbove(OutputSink& sink, unsigned position) {
  using namespace lq_text;
  if (next_ == lines_.size() || lines_[next_].position > position) return false;
  // The page's setup reset the printer: quality and table once a page, and
  // the unit of the moves before each group of lines (a band's feed sets
  // its own).
  if (!setUp_) {
    sink.Put({kEsc, kQuality, static_cast<uint8_t>(quality_ == Quality::kLetter ? 1 : 0)});
    sink.Put({kEsc, lq::kExtended, kTable, 3, 0, kTableSlot, table_->d2, table_->d3});
    sink.Put({kEsc, kTable, kTableSlot, kEsc, kInternational, kUsa});
    setUp_ = true;
  }
  sink.Put({kEsc, lq::kExtended, lq::kUnit, 1, 0, kUnit360});
  for (; next_ < lines_.size() && lines_[next_].position <= position; ++next_) {
    PrintLine(sink, lines_[next_]);
  }
  // The paper goes on to where the band prints.
  if (position != kPageEnd) {
    sink.Put({kEsc, lq::kExtended, kAbsoluteY, 2, 0, Low(position), High(position)});
  }
  return true;
}

void PlacedLines::PrintLine(OutputSink& sink, const PlacedLine& line) {
  using namespace lq_text;
  bytes_.clear();
  const auto put = [&](std::initializer_list<uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes);
  };
  put({kEsc, lq::kExtended, kAbsoluteY, 2, 0, Low(line.position), High(line.position)});
  for (const PlacedRun& run : line.runs) {
    const PitchSelect pitch = PitchSelectOf(run.pitch);
    if (pitch.letter != pitch_.letter) put({kEsc, pitch.letter});
    if (pitch.condensed != pitch_.condensed) put({pitch.condensed ? kCondensed : kCondensedOff});
    pitch_ = pitch;
    if (run.bold != bold_) put({kEsc, run.bold ? kBold : kBoldOff});
    bold_ = run.bold;
    put({kEsc, kAbsoluteX, Low(run.x), High(run.x)});
    encoder_.Encode(run.text, bytes_);
  }
  put({kCarriageReturn});
  sink.Put(bytes_.data(), bytes_.size());
}

}  // namespace zova::text
