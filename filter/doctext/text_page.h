// One page's text in the printer's fonts: which of the document's characters
// print as text, judged from what the document says of them and from both
// renders of the page (as drawn, and drawn without its text), and the lines
// they make. Everything else prints as graphics, with those characters
// taken out of the drawn page.
//
// A character prints as text when
//   - it stands upright, in a font with a Unicode map or a standard encoding
//     whose glyphs on the page are all one width, and that width is one of
//     the printer's pitches (within 1 %) at a size near that pitch's font;
//   - the job's character table holds it, and it lies within the page and
//     the carriage once the job's offsets move it;
//   - it was drawn in a dark ink on paper: the page without its text is
//     blank where it stands (text over a picture, shading or a rule stays
//     graphics), and nothing else of the page's text is taken out with it.
// A run's characters follow at the pitch from its first one; one that
// would land more than 1/120 inch from its place starts a run of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "doctext/document_text.h"
#include "doctext/font_encodings.h"
#include "dotmatrix/packed_bitmap.h"
#include "text/character_tables.h"
#include "text/placed_lines.h"

namespace zova::doctext {

struct TextPageSettings {
  const FontEncodings* fonts = nullptr;
  const text::CharacterTable* table = nullptr;
  // The raster both renders have: its resolution and size in pixels.
  unsigned dpiX = 180, dpiY = 180;
  unsigned width = 0, height = 0;
  // The page, in points: its width and length bound where text may print.
  double pageWidth = 0, pageLength = 0;
  // Added to txtwrite's y for the raster's: its page height is the exact
  // length rounded to whole points.
  double yShift = 0;
  // The job's offsets, 1/360 inch right and down.
  int offsetX = 0, offsetY = 0;
};

// Why a character prints as graphics.
enum class Fallback : uint8_t {
  kNone,
  kTurned,        // turned, slanted or mirrored
  kEncoding,      // no Unicode map and no standard encoding
  kProportional,  // its font's glyphs differ in width
  kSize,          // no pitch of the printer has its width and size
  kTable,         // not in the job's character table
  kOutside,       // off the page or the carriage where it would print
  kBackground,    // drawn over something else, in a light ink, or not drawn
  kNeighbour,     // taking it out would take out another character's ink
  kCrowded,       // on a page with more characters, or more of them, than are looked at
};
inline constexpr size_t kFallbacks = 10;

class TextPage {
 public:
  TextPage(const DocumentPage& page, const TextPageSettings& settings);

  // Whether any character may print as text: a page without one is printed
  // as drawn, and needs no second look.
  bool HasCandidates() const { return candidates_ > 0; }
  // Row y of the page as drawn and without its text, both RGB.
  void AddRows(unsigned y, const uint8_t* drawn, const uint8_t* text_free);
  // After the last row: settles which characters print as text.
  void Decide();
  // Whitens row y (RGB) where characters that print as text were drawn.
  void Erase(unsigned y, uint8_t* row) const;
  // Their lines, top down.
  std::vector<text::PlacedLine> Lines() const;

  // How many characters print as text, and why the others do not.
  size_t printed() const;
  const std::array<size_t, kFallbacks>& fallbacks() const { return fallbacks_; }
  // "1802 characters as text; as graphics: 17 in a proportional font, ..."
  std::string Summary() const;

 private:
  // A box of pixels, [x0, x1) x [y0, y1); empty when x0 >= x1 or y0 >= y1.
  struct Box {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    bool Meets(const Box& o) const {
      return !empty() && !o.empty() && x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1;
    }
  };
  struct Glyph {
    Fallback fallback = Fallback::kNone;
    bool space = false;
    text::Pitch pitch = text::Pitch::k10;
    bool bold = false;
    double place = 0;  // its left edge where the document puts it, 1/360 inch
    int x = 0;         // the same to the nearest unit
    int position = 0;  // the head's position for its line, 1/360 inch
    Box search;        // where its ink may be
    Box ink;           // where it is
    Box erase;         // what is whitened when it prints as text
  };

  Fallback Judge(const DocumentChar& c, const std::vector<bool>& monospaced, Glyph& glyph) const;
  Box SearchBox(const DocumentChar& c) const;
  Box InkOf(const Box& box, bool& looked);
  static bool Any(const PackedBitmap& plane, const Box& box);
  void SettleNeighbours();

  const DocumentPage& page_;
  TextPageSettings settings_;
  text::TextEncoder encoder_;
  std::vector<Glyph> glyphs_;  // one per character of the page
  size_t candidates_ = 0;
  // Where the drawn page differs from the text-free one (in a dark ink, in a
  // light one), and where the text-free one is not blank.
  PackedBitmap dark_, light_, background_;
  std::vector<std::vector<uint32_t>> erased_;  // glyphs whitened, by 64-row band
  size_t budget_ = 0;                          // pixels still to look at
  std::array<size_t, kFallbacks> fallbacks_{};
};

}  // namespace zova::doctext
