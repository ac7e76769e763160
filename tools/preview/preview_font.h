// The preview's font for text pages: the test pages' 5x7 cell, so a character
// lands where the printer puts it, but with small letters, all of ASCII's
// punctuation, Latin letters with their marks, the line-drawing and shade
// characters and the Cyrillic letters of the resident tables.
#pragma once

#include "testpage/bitmap_font.h"

namespace zova::preview {

// A character's rows, top first (bit 4 the leftmost column); a character the
// font lacks is the box testpage::Glyph draws for one it lacks.
testpage::GlyphRows PreviewGlyph(char32_t code);

}  // namespace zova::preview
