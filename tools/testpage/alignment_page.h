// The printer's alignment and tone test page: a frame on the page's edges,
// rulers from its top-left corner, a grey ramp, a line of text and the
// settings it was printed with. The printer prints to the paper's edges, so
// the frame shows where the page landed and the rulers how far it moved.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testpage/testpage.h"

namespace zova::testpage {

struct TestPageSettings {
  std::string commandSet;  // e.g. "LQ simulation" / "Native commands"
  std::string printAs;     // the printer's print-as choice, e.g. "Auto"
  unsigned dpiX = 180, dpiY = 180;
  double topOffsetMm = 0, leftOffsetMm = 0;
  std::string media;  // e.g. "A4" or "iso_a4_210x297mm"
};

// The page, width x height pixels at dpiX x dpiY, one grey byte per pixel
// (0 black, 255 white), rows top down; empty for a page without pixels or
// resolution. What does not fit a small page is left out.
std::vector<uint8_t> DrawTestPage(const TestPageSettings& s, unsigned width, unsigned height);

// The same page as the RGB rows of a raster page.
RowFill TestPageRows(const TestPageSettings& s, unsigned width, unsigned height);

}  // namespace zova::testpage
