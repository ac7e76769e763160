// The printer stream a job must produce, built from the 1-bit image of each
// page with the band routines (whose bytes the unit tests pin down).
#pragma once

#include <cstdint>
#include <vector>

#include "dotmatrix/page_plan.h"
#include "testpage/testpage.h"

namespace zova::testing {

using testpage::PageDescription;

class ExpectedStream {
 public:
  ExpectedStream();  // starts with the job preamble

  // A page printed as `plan` says, its rows the given dots.
  ExpectedStream& Page(const PagePlan& plan, const PackedBitmap& dots);
  // Text page printed at its own resolution.
  ExpectedStream& TextPage(const PageDescription& page, const PackedBitmap& dots);
  // Text page at 360x360, printed at 180x180 from `halved` dots.
  ExpectedStream& ReducedPage(const PageDescription& page, const PackedBitmap& halved);
  // Picture page: the tool's image is `dots`.
  ExpectedStream& PicturePage(const PageDescription& page, const PackedBitmap& dots);
  // The job end; returns the whole stream.
  std::vector<uint8_t> End();

 private:
  bool last_lq_ = true;
  std::vector<uint8_t> bytes_;
};

// 2x2 blocks OR-ed together: a black-on-white 360 dpi page as it prints.
PackedBitmap Halve(const PackedBitmap& dots);

// The page's pixels as the test tool halftones them (r + g + b < 600).
PackedBitmap FixtureHalftone(const PageDescription& page);

// The dark pixels of a black-and-white page.
PackedBitmap BlackPixels(const PageDescription& page);

}  // namespace zova::testing
