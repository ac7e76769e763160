#include "text/text_writer.h"

#include <algorithm>

#include "text/text_commands.h"

namespace zova::text {
namespace {

uint8_t Low(unsigned v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t High(unsigned v) { return static_cast<uint8_t>((v >> 8) & 0xFF); }

}  // namespace

PitchSelect PitchSelectOf(Pitch pitch) {
  using namespace lq_text;
  switch (pitch) {
    case Pitch::k10:
      return {kPica, false};
    case Pitch::k12:
      return {kElite, false};
    case Pitch::k15:
      return {kFifteen, false};
    case Pitch::k17:
      return {kPica, true};
    case Pitch::k20:
      return {kElite, true};
  }
  return {kPica, false};
}

std::vector<uint8_t> LqTextJobStart(const LqTextSetup& s) {
  using namespace lq_text;
  // Room for the whole set-up at once: GCC 12 at -O3 misreads the vector's
  // growth from a few bytes as an overflow (-Wstringop-overflow).
  std::vector<uint8_t> b;
  b.reserve(64);
  auto put = [&b](std::initializer_list<uint8_t> bytes) { b.insert(b.end(), bytes); };
  if (s.okidataPrefix) put({kEsc, lq::kEnterLq, lq::kEnterLqArgument});
  put({kEsc, lq::kReset});
  put({kEsc, kQuality, static_cast<uint8_t>(s.quality == Quality::kLetter ? 1 : 0)});
  // The page length in 1/360 inch, exact rather than whole lines, so that
  // every form feed ends at the next form's top.
  put({kEsc, lq::kExtended, lq::kUnit, 1, 0, kUnit360});
  put({kEsc, lq::kExtended, kPageLength, 2, 0, Low(s.geometry.length), High(s.geometry.length)});
  put({kEsc, kCancelSkip});
  const PitchSelect pitch = PitchSelectOf(s.geometry.pitch);
  put({kEsc, pitch.letter});
  if (pitch.condensed) put({kCondensed});
  put({kEsc, s.geometry.spacing == LineSpacing::k8 ? kEighthInchLines : lq::kSixthInchLines});
  // Margins count columns of the pitch just chosen, so they come after it.
  put({kEsc, kLeftMargin, static_cast<uint8_t>(s.frame.leftColumn)});
  // A shifted line reaches into one more column.
  put({kEsc, kRightMargin,
       static_cast<uint8_t>(s.frame.leftColumn + s.frame.columns +
                            (s.frame.leftShift > 0 ? 1 : 0))});
  put({kEsc, lq::kExtended, kTable, 3, 0, kTableSlot, s.table->d2, s.table->d3});
  put({kEsc, kTable, kTableSlot});
  put({kEsc, kInternational, kUsa});
  put({kEsc, lq::kUpperCodes});
  return b;
}

std::vector<uint8_t> NativeTextJobStart() {
  return {kEsc, native::kEnterNative, kEsc, native::kUpperCodes};
}

std::string NativeTextWarning() {
  return "The native command set prints plain text only: the pitch, line spacing, page length "
         "and character table are the printer's panel settings";
}

TextPageWriter::TextPageWriter(TextCommands commands, TextPlacement placement, TextEncoder& encoder,
                               OutputSink& sink)
    : commands_(commands), placement_(placement), encoder_(&encoder), sink_(&sink) {}

void TextPageWriter::StartPage() {
  pageStarted_ = true;
  const unsigned top = placement_.top;
  if (top == 0) return;
  if (commands_ == TextCommands::kLq) {
    sink_->Put({kEsc, lq::kExtended, lq::kFeed, 2, 0, Low(top), High(top)});
    return;
  }
  // 1/360 inch to the nearest 1/120, at most 255 a command.
  for (unsigned left = (top + 1) / 3; left > 0;) {
    const unsigned step = std::min(left, native::kMaxFeed);
    sink_->Put({kEsc, native::kPercent, native::kFeed, static_cast<uint8_t>(step)});
    left -= step;
  }
}

void TextPageWriter::Line(std::u32string_view text) {
  if (!pageStarted_) StartPage();
  bytes_.clear();
  if (lineOpen_) {
    bytes_.push_back(kCarriageReturn);
    bytes_.push_back(lq_text::kLineFeed);
  }
  if (commands_ == TextCommands::kLq && placement_.leftShift > 0) {
    const unsigned shift = placement_.leftShift;
    bytes_.insert(bytes_.end(), {kEsc, lq_text::kAbsoluteX, Low(shift), High(shift)});
  }
  encoder_->Encode(text, bytes_);
  sink_->Put(bytes_.data(), bytes_.size());
  lineOpen_ = true;
}

void TextPageWriter::PageEnd() {
  if (lineOpen_) sink_->Put(kCarriageReturn);
  sink_->Put(kFormFeed);
  sink_->Flush();
  lineOpen_ = false;
  pageStarted_ = false;
}

}  // namespace zova::text
