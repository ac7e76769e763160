#include "preview/page_text.h"

#include <algorithm>
#include <cstdio>

#include "preview/preview_font.h"
#include "testpage/bitmap_font.h"
#include "text/character_tables.h"

namespace zova::preview {
namespace {

char32_t CodePoint(const PlacedCharacter& c) {
  if (c.byte < 0x80) return c.byte;
  const char16_t code = (*text::CharacterTables()[c.table].upper)[c.byte - 0x80];
  return code != 0 ? code : U'\uFFFD';
}

// A length in the coarsest of inches, 1/360 and 1/3600 that says it exactly.
std::string Inches(long units) {
  char text[48];
  if (units % kUnitsPerInch == 0) {
    snprintf(text, sizeof text, "%ld in", units / kUnitsPerInch);
  } else if (units % 10 == 0) {
    snprintf(text, sizeof text, "%ld/360 in", units / 10);
  } else {
    snprintf(text, sizeof text, "%ld/3600 in", units);
  }
  return text;
}

std::string Pitch(const PrinterState& state) {
  switch (state.Width()) {
    case 360:
      return "10 cpi";
    case 300:
      return "12 cpi";
    case 240:
      return "15 cpi";
    case 210:
      return "17.14 cpi";
    default:
      return "20 cpi";
  }
}

std::string Spacing(long spacing) {
  if (spacing == kUnitsPerInch / 6) return "6 lpi";
  if (spacing == kUnitsPerInch / 8) return "8 lpi";
  return "lines " + Inches(spacing) + " apart";
}

}  // namespace

void DrawCharacters(const std::vector<PlacedCharacter>& characters, BandGeometry geometry,
                    PackedBitmap& dots) {
  const long x_pitch = kUnitsPerInch / geometry.HorizontalDpi;
  const long y_pitch = kUnitsPerInch / geometry.VerticalDpi;
  for (const PlacedCharacter& c : characters) {
    // The glyph with one blank column after it fills the pitch, and with one
    // blank row under it the line.
    const size_t scale_x = std::max<long>(1, c.width / x_pitch / testpage::kGlyphAdvance);
    const size_t scale_y = std::max<long>(1, c.height / y_pitch / (testpage::kGlyphRows + 1));
    const char32_t code = CodePoint(c);
    const testpage::GlyphRows rows = PreviewGlyph(code);
    const size_t left = c.x / x_pitch, top = c.y / y_pitch;
    const auto set = [&](size_t x, size_t y) {
      if (x < dots.width() && y < dots.height()) dots.Set(x, y);
    };
    for (size_t gy = 0; gy < testpage::kGlyphRows * scale_y; ++gy) {
      for (size_t gx = 0; gx < testpage::kGlyphColumns * scale_x; ++gx) {
        if ((rows[gy / scale_y] >> (testpage::kGlyphColumns - 1 - gx / scale_x) & 1) == 0) continue;
        set(left + gx, top + gy);
        // Bold strikes each dot again one dot to the right.
        if (c.bold) set(left + gx + 1, top + gy);
      }
    }
    // The underline runs along the blank row under the glyph, the pitch wide.
    if (c.underline) {
      const size_t width = static_cast<size_t>(c.width / x_pitch);
      for (size_t gx = 0; gx < width; ++gx) set(left + gx, top + testpage::kGlyphRows * scale_y);
    }
  }
}

std::string DescribeText(const DecodedPage& page) {
  const PrinterState& s = page.text_state;
  std::string line = page.dialect == Dialect::kLq ? "LQ text, " : "native text, ";
  if (page.dialect == Dialect::kLq) line += s.draft ? "draft, " : "LQ, ";
  // A placed page's lines stand where ESC ( V put them, whatever the spacing.
  line += Pitch(s) + ", " + (page.placed ? std::string("lines placed") : Spacing(s.spacing)) +
          ", " + std::string(text::CharacterTables()[s.slots[s.slot]].name) + ", " +
          std::to_string(page.text_lines) + (page.text_lines == 1 ? " line, " : " lines, ") +
          std::to_string(page.characters.size()) +
          (page.characters.size() == 1 ? " character, " : " characters, ");
  line += page.motion.page_length > 0 ? "page length " + Inches(page.motion.page_length)
                                      : "page length not set";
  return line;
}

std::string PageText(const DecodedPage& page) {
  std::vector<const PlacedCharacter*> order;
  order.reserve(page.characters.size());
  for (const PlacedCharacter& c : page.characters) order.push_back(&c);
  // A placed page's lines are its paper positions, top down; a text job's
  // its line feeds, the empty ones too.
  const auto line_of = [&](const PlacedCharacter& c) { return page.placed ? c.y : c.line; };
  // Stable: of two characters in one place, the later one is struck last.
  std::stable_sort(order.begin(), order.end(), [&](const auto* a, const auto* b) {
    return line_of(*a) != line_of(*b) ? line_of(*a) < line_of(*b) : a->x < b->x;
  });
  std::string text;
  size_t next = 0;
  for (size_t line = 0; line < page.text_lines; ++line) {
    std::u32string codes;
    const uint32_t at = next < order.size() ? line_of(*order[next]) : 0;
    for (; next < order.size() && line_of(*order[next]) == (page.placed ? at : line); ++next) {
      const PlacedCharacter& c = *order[next];
      const size_t column = c.x >= c.left ? (c.x - c.left) / c.width : 0;
      if (codes.size() <= column) codes.resize(column + 1, U' ');
      codes[column] = CodePoint(c);
    }
    for (char32_t code : codes) text += text::Utf8(code);
    text += '\n';
  }
  return text + "\f\n";
}

}  // namespace zova::preview
