// The printer stream a job must produce, built from the 1-bit image of each
// page with the band routines (whose bytes the unit tests pin down).
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include <cstdint>
#include <vector>

#include "testpage/testpage.h"

namespace zova::testing {

using testpage::Bitmap;
using testpage::PageSpec;

class ExpectedStream {
 public:
  ExpectedStream();  // starts with the job preamble

  // A page set up from `start` (the header as the raster gave it) whose rows
  // print under `rows` (the width and resolution the rows have).
  ExpectedStream& Page(const cups_page_header2_t& start, const cups_page_header2_t& rows,
                       const Bitmap& dots);
  // Text page printed at its own resolution.
  ExpectedStream& TextPage(const PageSpec& page, const Bitmap& dots);
  // Text page at 360x360, printed at 180x180 from `halved` dots.
  ExpectedStream& ReducedPage(const PageSpec& page, const Bitmap& halved);
  // Picture page: the tool's image is `dots`.
  ExpectedStream& PicturePage(const PageSpec& page, const Bitmap& dots);
  // The job end; returns the whole stream.
  std::vector<uint8_t> End();

 private:
  int last_lq_ = 1;
  std::vector<uint8_t> bytes_;
};

// 2x2 blocks OR-ed together: a black-on-white 360 dpi page as it prints.
Bitmap Halve(const Bitmap& dots);

// The page's pixels as the test tool halftones them (r + g + b < 600).
Bitmap FixtureHalftone(const PageSpec& page);

// The dark pixels of a black-and-white page.
Bitmap BlackPixels(const PageSpec& page);

}  // namespace zova::testing
