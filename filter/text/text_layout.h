// Lines and pages of a text job: the page's geometry in the printer's pitch
// and line spacing, and a paginator fed code points that hands on lines and
// page ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zova::text {

// Lengths are in 1/360 inch, the printer's finest unit and the unit of its
// page length command.
inline constexpr unsigned kUnitsPerInch = 360;
// Millimetres to units, to the nearest (A4's 297 mm is 4209).
unsigned MillimetresToUnits(double mm);

// Characters per inch. Condensed 17 is 17.14 cpi (condensed 10 cpi), 20
// condensed 12 cpi.
enum class Pitch { k10, k12, k15, k17, k20 };
// A character's width in units: 36, 30, 24, 21, 18.
unsigned PitchWidth(Pitch pitch);
std::optional<Pitch> ParsePitch(std::string_view cpi);  // "10", "12", "15", "17", "17.1", "20"

enum class LineSpacing { k6, k8 };         // lines per inch
unsigned LineHeight(LineSpacing spacing);  // 60 or 45 units

struct PageGeometry {
  unsigned width = 0;  // the page, in units
  unsigned length = 0;
  unsigned left = 0;  // margins, in units
  unsigned right = 0;
  unsigned top = 0;
  unsigned bottom = 0;
  Pitch pitch = Pitch::k10;
  LineSpacing spacing = LineSpacing::k6;
};

// What the geometry gives: whole columns and lines. The left margin is
// whole columns of the pitch (ESC l) and the rest in units (ESC $), so that
// text starts exactly where the margin ends.
struct TextFrame {
  unsigned leftColumn = 0;
  unsigned leftShift = 0;  // units, less than a column
  unsigned columns = 0;
  unsigned lines = 0;
};

// nullopt and *error set when not one column or line fits, or a margin is
// beyond what ESC l / ESC Q can say (255 columns).
std::optional<TextFrame> FrameOf(const PageGeometry& geometry, std::string* error);

// Where the paginator's lines and page ends go.
class LineReceiver {
 public:
  virtual ~LineReceiver() = default;
  // One line, at most the frame's columns, printable characters only.
  virtual void Line(std::u32string_view text) = 0;
  virtual void PageEnd() = 0;
};

// Tabs stop at every 8th column; CR, LF and CRLF each end one line; a form
// feed ends the page (except right after a page the line count ended).
// A line longer than the frame wraps to the next, or with wrap off the rest
// is cut. Other control characters would be printer commands: dropped.
class Paginator {
 public:
  Paginator(unsigned columns, unsigned lines_per_page, bool wrap, LineReceiver& receiver);

  void Put(char32_t c);
  void Put(std::u32string_view text) {
    for (char32_t c : text) Put(c);
  }
  // The end of the input: a last line without its line end is printed, and
  // a page with lines on it ended.
  void Finish();

  unsigned pages() const { return pages_; }
  unsigned cutLines() const { return cut_; }

 private:
  void EndLine();
  void EndPage();

  unsigned columns_;
  unsigned linesPerPage_;
  bool wrap_;
  LineReceiver* receiver_;
  std::u32string line_;
  unsigned column_ = 0;  // line_ may be shorter: cut characters are counted only
  bool afterCr_ = false;
  unsigned linesOnPage_ = 0;
  bool pageBrokeByCount_ = false;
  bool lineCut_ = false;
  unsigned pages_ = 0;
  unsigned cut_ = 0;
};

}  // namespace zova::text
