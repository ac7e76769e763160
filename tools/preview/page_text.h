// The characters of a text page: drawn into the page's picture, described in
// its summary line, and read back as text through their character tables.
#pragma once

#include <string>
#include <vector>

#include "preview/page_model.h"

namespace zova::preview {

// Draws each character with the preview's 5x7 font, scaled to its cell (the
// pitch across, the line spacing down); a character the font lacks is a box.
void DrawCharacters(const std::vector<PlacedCharacter>& characters, BandGeometry geometry,
                    PackedBitmap& dots);

// "LQ text, draft, 10 cpi, 6 lpi, PC437, 60 lines, 4800 characters, page
// length 4209/360 in": the settings at the page's first character.
std::string DescribeText(const DecodedPage& page);

// The page's text as UTF-8: each line as printed, a character's column
// counted from the left margin in its own pitch (so a line that starts to
// the right comes back with leading spaces), blank lines kept, each line
// ended by "\n" and the page by "\f\n". A byte its table has no character
// for is U+FFFD; of two characters struck in one place the last is kept.
std::string PageText(const DecodedPage& page);

}  // namespace zova::preview
