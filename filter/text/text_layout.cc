#include "text/text_layout.h"

#include <cmath>

namespace zova::text {
namespace {

// ESC ( C can say up to 22 inches; ESC l and ESC Q take one byte.
constexpr unsigned kMaxLength = 22 * kUnitsPerInch;
constexpr unsigned kMaxColumn = 255;
constexpr unsigned kTabStop = 8;

}  // namespace

unsigned MillimetresToUnits(double mm) {
  return static_cast<unsigned>(std::lround(mm * kUnitsPerInch / 25.4));
}

unsigned PitchWidth(Pitch pitch) {
  switch (pitch) {
    case Pitch::k10:
      return 36;
    case Pitch::k12:
      return 30;
    case Pitch::k15:
      return 24;
    case Pitch::k17:
      return 21;
    case Pitch::k20:
      return 18;
  }
  return 36;
}

std::optional<Pitch> ParsePitch(std::string_view cpi) {
  if (cpi == "10") return Pitch::k10;
  if (cpi == "12") return Pitch::k12;
  if (cpi == "15") return Pitch::k15;
  if (cpi == "17" || cpi == "17.1" || cpi == "17.14") return Pitch::k17;
  if (cpi == "20") return Pitch::k20;
  return std::nullopt;
}

unsigned LineHeight(LineSpacing spacing) {
  return spacing == LineSpacing::k8 ? kUnitsPerInch / 8 : kUnitsPerInch / 6;
}

std::optional<TextFrame> FrameOf(const PageGeometry& g, std::string* error) {
  auto fail = [error](std::string message) -> std::optional<TextFrame> {
    if (error) *error = std::move(message);
    return std::nullopt;
  };
  if (g.length > kMaxLength) return fail("The page is longer than the printer's 22 inches");
  const unsigned cw = PitchWidth(g.pitch);
  TextFrame frame;
  frame.leftColumn = g.left / cw;
  frame.leftShift = g.left % cw;
  const unsigned taken = g.left + g.right;
  frame.columns = g.width > taken ? (g.width - taken) / cw : 0;
  const unsigned height = g.top + g.bottom < g.length ? g.length - g.top - g.bottom : 0;
  frame.lines = height / LineHeight(g.spacing);
  if (frame.columns == 0) return fail("Not one character fits between the left and right margins");
  if (frame.lines == 0) return fail("Not one line fits between the top and bottom margins");
  if (frame.leftColumn + frame.columns + (frame.leftShift > 0 ? 1 : 0) > kMaxColumn) {
    return fail("The line is wider than the printer's 255 columns");
  }
  return frame;
}

Paginator::Paginator(unsigned columns, unsigned lines_per_page, bool wrap, LineReceiver& receiver)
    : columns_(columns), linesPerPage_(lines_per_page), wrap_(wrap), receiver_(&receiver) {}

void Paginator::Put(char32_t c) {
  const bool after_cr = afterCr_;
  afterCr_ = false;
  switch (c) {
    case '\n':
      if (!after_cr) EndLine();  // CRLF ended its line at the CR
      return;
    case '\r':
      EndLine();
      afterCr_ = true;
      return;
    case '\f':
      if (column_ > 0) EndLine();
      // A form feed right after a full page would print a blank one.
      if (pageBrokeByCount_) {
        pageBrokeByCount_ = false;
        return;
      }
      EndPage();
      return;
    case '\t': {
      const unsigned stop = (column_ / kTabStop + 1) * kTabStop;
      if (stop > columns_) {
        if (wrap_) {
          EndLine();
        } else {
          column_ = columns_;
          lineCut_ = true;
        }
        return;
      }
      line_.append(stop - column_, U' ');
      column_ = stop;
      return;
    }
    default:
      break;
  }
  // C0 and C1 controls, DEL, and the byte order mark print nothing.
  if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0xFEFF) return;
  if (column_ >= columns_) {
    if (!wrap_) {
      lineCut_ = true;
      return;
    }
    EndLine();
  }
  line_ += c;
  ++column_;
}

void Paginator::EndLine() {
  receiver_->Line(line_);
  line_.clear();
  column_ = 0;
  if (lineCut_) ++cut_;
  lineCut_ = false;
  pageBrokeByCount_ = false;
  if (++linesOnPage_ == linesPerPage_) {
    EndPage();
    pageBrokeByCount_ = true;
  }
}

void Paginator::EndPage() {
  receiver_->PageEnd();
  ++pages_;
  linesOnPage_ = 0;
}

void Paginator::Finish() {
  if (column_ > 0 || lineCut_) EndLine();
  if (linesOnPage_ > 0) EndPage();
}

}  // namespace zova::text
