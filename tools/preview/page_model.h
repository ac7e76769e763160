// What the printer does with one page: where the head and the paper stand,
// and the dots that each 24-dot bit image leaves on the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dotmatrix/commands.h"
#include "dotmatrix/packed_bitmap.h"
#include "dotmatrix/printer_limits.h"

namespace zova::preview {

// Every length in the stream is a fraction of an inch; the model keeps
// positions in 1/3600 inch, the finest unit a command can set.
inline constexpr long kUnitsPerInch = 3600;
// A page is 1/6-inch lines long (ESC C, ESC F).
inline constexpr long kUnitsPerLine = kUnitsPerInch / 6;
// The printer's carriage and longest form in the model's units.
inline constexpr long kMaxPageWidth = long{kMaxCarriageInches} * kUnitsPerInch;
inline constexpr long kMaxPageLength = long{kMaxFormInches} * kUnitsPerInch;

enum class Dialect { kLq, kNative };

// How a bit-image mode lays out its columns: the horizontal density, and the
// vertical pitch of the pins as dots per inch.
struct BandGeometry {
  unsigned HorizontalDpi = 0;
  unsigned VerticalDpi = 0;
  bool operator==(const BandGeometry&) const = default;
};

// The head's 24 pins stand 1/180 inch apart. A page that prints no bit image
// is drawn on that grid.
inline constexpr BandGeometry kHeadPitchGeometry{180, 180};

// What the head and the paper did on a page, for the time model
// (print_time.h). Summed as the page decodes, so a page of any length keeps a
// few numbers. Lengths in 1/3600 inch.
struct PageMotion {
  // Head travel while printing, by the pass's columns per inch: each pass
  // runs from its first dot to its last, a pass without dots not at all.
  std::map<unsigned, long> printed;
  long slew = 0;      // head travel without printing, to where each pass starts
  size_t passes = 0;  // bit images that printed a dot
  // Paper moves before a pass: feeds with no pass between them are one move,
  // the paper going on without a stop.
  size_t paper_moves = 0;
  long paper_travel = 0;
  // At the form feed: the feeds not yet made, and where the paper stands
  // after them (from the first print line).
  long pending_feed = 0;
  long paper_y = 0;
  long page_length = 0;  // 0: the stream did not set it
};

struct DecodedPage {
  Dialect dialect = Dialect::kLq;
  BandGeometry geometry = kHeadPitchGeometry;
  // Width: as far right as a bit image reached. Height: the page length the
  // stream set, or further down if a band printed below it.
  PackedBitmap dots;
  size_t bands = 0;      // head lines on which a bit image printed
  size_t dot_count = 0;  // dots printed, overprinted dots counted once
  PageMotion motion;
};

// "LQ, 180x180 dpi, 1488x2100 dots, 87 bands, 123456 dots printed".
std::string DescribePage(const DecodedPage& page);

class PageModel {
 public:
  explicit PageModel(Dialect dialect) : dialect_(dialect) {}
  // Without dots the page keeps its motion and counts only: a few numbers
  // however long the page, for the time model.
  void KeepDots(bool keep) { keep_dots_ = keep; }

  // Sets the page length. Returns why the printer cannot take it, or an
  // empty string.
  [[nodiscard]] std::string SetPageLength(long units);
  // CR: the head goes back to the left margin.
  void CarriageReturn() { head_x_ = 0; }
  // Moves the paper up by `units` (1/3600 inch): the head lands lower on the page.
  void Feed(long units) {
    paper_y_ += units;
    motion_.pending_feed += units;
  }
  // ESC U: each pass starts at the left end (true), or at the end nearer the head.
  void SetUnidirectional(bool on) { unidirectional_ = on; }
  bool AtLeftMargin() const { return head_x_ == 0; }
  long head_x() const { return head_x_; }

  // Prints `columns` columns of kBytesPerColumn bytes at the head position,
  // ORing them into what the page holds, and moves the head past them.
  // Returns why the band cannot be placed, or an empty string.
  [[nodiscard]] std::string PrintBand(BandGeometry geometry, const uint8_t* data, size_t columns);

  // The page as printed. The model is spent afterwards.
  DecodedPage Finish();

 private:
  void SetDot(size_t x, size_t y);
  // A pass of the head printing from `from` to `to` (1/3600 inch).
  void Pass(unsigned dpi, long from, long to);

  Dialect dialect_;
  BandGeometry geometry_{};                 // set by the first bit image of the page
  long head_x_ = 0;                         // 1/3600 inch from the left margin
  long paper_y_ = 0;                        // 1/3600 inch from the top print line
  long page_length_ = 0;                    // 1/3600 inch; 0 while the stream has not set it
  size_t width_ = 0;                        // dots, as far right as a band reached
  size_t height_ = 0;                       // dots, as far down as a band reached
  std::vector<std::vector<uint8_t>> rows_;  // packed rows, grown as bands reach them
  std::set<long> lines_;                    // paper positions that printed
  PageMotion motion_;
  long head_at_ = 0;             // where the head stands, 1/3600 inch from the left margin
  bool unidirectional_ = false;  // the printer's default after ESC @
  bool keep_dots_ = true;
};

}  // namespace zova::preview
