// What the printer does with one page: where the head and the paper stand,
// the dots that each 24-dot bit image leaves on the page, and the characters
// it prints in its resident fonts.
#pragma once

#include <array>
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

// An LQ character is the head's 24 pins high; its baseline lies 20/180 inch
// below the top pin (Epson's ESC/P reference, ESC ( c: "the baseline for
// printing characters ... is 20/180 inch below" the print position).
inline constexpr long kCharacterHeight = 24 * kUnitsPerInch / 180;
inline constexpr long kBaselineDrop = 20 * kUnitsPerInch / 180;

// The head's travel on the bit images of a page under one reading of the
// printer. The bit images of a line, from one CR or feed to the next, print
// in one sweep: the head travels to the end of the line nearer to it, prints
// each image and is moved across the stretches between them. Lengths in
// 1/3600 inch.
struct SweepTravel {
  // Printing, by the image's columns per inch. A bit image without dots
  // does not print.
  std::map<unsigned, long> printed;
  // Moving without printing: to where each sweep starts, across the
  // stretches between the images of a line, and for text to where each text
  // pass starts.
  long slew = 0;
};

// What the head and the paper did on a page, for the time model
// (print_time.h). Summed as the page decodes, so a page of any length keeps a
// few numbers. Lengths in 1/3600 inch.
struct PageMotion {
  // A printer that seeks a bit image's first dot prints it from there to its
  // last dot, its blank columns at either end costing nothing; one that
  // fires what it is sent prints every column from the image's start.
  SweepTravel seeking;
  SweepTravel sending;
  size_t passes = 0;  // bit images that printed a dot, and text passes
  // Paper moves before a pass: feeds with no pass between them are one move,
  // the paper going on without a stop.
  size_t paper_moves = 0;
  long paper_travel = 0;
  // At the form feed: the feeds not yet made, and where the paper stands
  // after them (from the first print line).
  long pending_feed = 0;
  long paper_y = 0;
  long page_length = 0;  // 0: the stream did not set it
  // Head travel while printing text, by quality: each text pass runs from
  // its first character's left edge to its last one's right edge.
  long text_draft = 0;
  long text_lq = 0;
};

// The printer's text settings: what ESC @ (or ESC N) resets and a form feed
// keeps, so the pages of a text job go on with the job's setup. Lengths in
// 1/3600 inch.
struct PrinterState {
  bool draft = false;            // ESC x 0; the native set prints in LQ (its panel setting)
  uint8_t pitch = 'P';           // ESC P (10 cpi), ESC M (12), ESC g (15)
  bool condensed = false;        // SI: 10 cpi becomes 17.14, 12 cpi 20
  long spacing = kUnitsPerLine;  // a line feed's move: ESC 2, ESC 0, ESC 3 n, ESC + n
  long left = 0;                 // margins from the carriage's left end
  long right = kMaxPageWidth;
  std::array<uint8_t, 4>
      slots{};                  // ESC ( t: each slot's table, an index in text::CharacterTables()
  uint8_t slot = 1;             // ESC t
  bool upper_codes = false;     // ESC 6: bytes 0x80-0x9F print
  bool bold = false;            // ESC E, ESC F
  bool underline = false;       // ESC - 1, ESC - 0
  bool unidirectional = false;  // ESC U
  long page_length = 0;         // 0 while the stream has not set it
  long unit = 0;                // ESC ( U, 1/3600 inch; 0 until set

  // A character's width at the pitch in force.
  long Width() const;
};

// The state after ESC @ or ESC N, with the panel's character table in
// every slot (an index in text::CharacterTables()).
PrinterState ResetState(uint8_t panel_table);

// One printed character.
struct PlacedCharacter {
  uint32_t y = 0;       // paper position of its line's top, from the top print line
  uint32_t line = 0;    // line feeds before it on the page
  uint16_t x = 0;       // its left edge, from the carriage's left end
  uint16_t left = 0;    // the left margin in force
  uint16_t width = 0;   // pitch width
  uint16_t height = 0;  // line spacing in force
  uint8_t byte = 0;
  uint8_t table = 0;  // index in text::CharacterTables()
  bool draft = false;
  bool bold = false;
  bool underline = false;
};

// A page holds at most this many characters (a 64-inch form at 20 cpi and
// 8 lines per inch, every character struck three times) and as many line
// feeds: beyond, a hostile stream would grow the page without bound.
inline constexpr size_t kMaxPageCharacters = size_t{1} << 19;

struct DecodedPage {
  Dialect dialect = Dialect::kLq;
  BandGeometry geometry = kHeadPitchGeometry;
  // Width: as far right as a bit image reached. Height: the page length the
  // stream set, or further down if a band printed below it.
  PackedBitmap dots;
  size_t bands = 0;      // head lines on which a bit image printed
  size_t dot_count = 0;  // dots printed by bit images, overprinted dots counted once
  PageMotion motion;
  // Text: the characters in the order printed, drawn into `dots` too.
  bool text = false;  // a page of a text job, or one that printed text
  // Its lines were placed by ESC ( V rather than line feeds: a line is the
  // characters on one paper position, each character kCharacterHeight high.
  bool placed = false;
  size_t text_lines = 0;    // line feeds + 1 on a text page; lines printed on a placed page
  PrinterState text_state;  // at the first character, or the page's end without one
  std::vector<PlacedCharacter> characters;
};

// "LQ, 180x180 dpi, 1488x2100 dots, 87 bands, 123456 dots printed", with a
// word where the printer's paper feed between the bands is unconfirmed; a text
// page "LQ text, draft, 10 cpi, 6 lpi, PC437, 60 lines, 4800 characters,
// page length 4209/360 in", and "; bit images: ..." when it holds both.
std::string DescribePage(const DecodedPage& page);
// The bit-image part alone.
std::string DescribeGraphics(const DecodedPage& page);

class PageModel {
 public:
  PageModel(Dialect dialect, const PrinterState& state) : dialect_(dialect), state_(state) {}
  // Without dots the page keeps its motion and counts only: a few numbers
  // however long the page, for the time model.
  void KeepDots(bool keep) { keep_dots_ = keep; }
  // Whether the characters are drawn into the dots too.
  void DrawCharacters(bool draw) { draw_characters_ = draw; }

  // Sets the page length. Returns why the printer cannot take it, or an
  // empty string.
  [[nodiscard]] std::string SetPageLength(long units);
  // CR: the head goes back to the left margin.
  void CarriageReturn() {
    EndTextPass();
    EndImageLine();
    head_x_ = 0;
  }
  // ESC $: the head to `x` (1/3600 inch) right of the left margin. Returns
  // why not, or an empty string.
  [[nodiscard]] std::string MoveHead(long x);
  // Moves the paper up by `units` (1/3600 inch): the head lands lower on the page.
  void Feed(long units) {
    EndTextPass();
    EndImageLine();
    paper_y_ += units;
    motion_.pending_feed += units;
  }
  // ESC ( V: the head to `y` (1/3600 inch) below the top of the page, never
  // back up. Returns why not, or an empty string.
  [[nodiscard]] std::string MoveTo(long y);
  // LF: a line of the spacing in force. Returns why not, or an empty string.
  [[nodiscard]] std::string LineFeed();
  // Prints `byte` at the head, in the table in force, and moves the head one
  // character on. Returns why it cannot, or an empty string.
  [[nodiscard]] std::string PrintCharacter(uint8_t byte);
  // The settings commands change; the caller checks their values.
  PrinterState& state() {
    EndTextPass();
    return state_;
  }
  const PrinterState& settings() const { return state_; }
  void MarkText() { text_ = true; }
  bool AtLeftMargin() const { return head_x_ == 0; }
  long head_x() const { return head_x_; }
  long paper_y() const { return paper_y_; }

  // Prints `columns` columns of kBytesPerColumn bytes at the head position,
  // ORing them into what the page holds, and moves the head past them. The
  // bit images of one line, from one CR or feed to the next, print in one
  // sweep of the head. Returns why the band cannot be placed (beyond the
  // page, or off its dot grid), or an empty string.
  [[nodiscard]] std::string PrintBand(BandGeometry geometry, const uint8_t* data, size_t columns);

  // The page as printed. The model is spent afterwards.
  DecodedPage Finish();

 private:
  void SetDot(size_t x, size_t y);
  // The paper moves made before a sweep of the head.
  void StartSweep();
  // A sweep of the head across [from, to) (1/3600 inch) under one reading:
  // its travel to the end it starts from.
  void Sweep(SweepTravel& travel, long& head_at, long from, long to) const;
  // The characters printed since the head last moved otherwise are one pass.
  void EndTextPass();
  // The bit images printed since the last CR or feed are one line.
  void EndImageLine();

  Dialect dialect_;
  PrinterState state_;
  BandGeometry geometry_{};                 // set by the first bit image of the page
  long head_x_ = 0;                         // 1/3600 inch from the left margin
  long paper_y_ = 0;                        // 1/3600 inch from the top print line
  size_t width_ = 0;                        // dots, as far right as a band reached
  size_t height_ = 0;                       // dots, as far down as a band reached
  std::vector<std::vector<uint8_t>> rows_;  // packed rows, grown as bands reach them
  std::set<long> lines_;                    // paper positions that printed
  PageMotion motion_;
  // Where the head stands, 1/3600 inch from the carriage's left end, under
  // each reading.
  long seeking_at_ = 0, sending_at_ = 0;
  std::vector<PlacedCharacter> characters_;
  bool text_ = false;
  size_t line_feeds_ = 0;
  PrinterState first_text_state_;
  long text_from_ = -1, text_to_ = 0;  // the text pass being printed; -1: none
  // The bit images of the line being printed that printed a dot, left to
  // right: where each runs, and where its dots run (1/3600 inch from the
  // carriage's left end), and its columns per inch.
  struct Stretch {
    long from, to;
    long ink_from, ink_to;
    unsigned dpi;
  };
  std::vector<Stretch> line_;
  bool text_draft_ = false;
  bool keep_dots_ = true;
  bool draw_characters_ = true;
  bool placed_ = false;
};

}  // namespace zova::preview
