// What the printer is to print of one page. The page pipeline decides it once
// per page, before the page's first byte; the output routines only read it.
#pragma once

#include <cstdint>

namespace zova {

// The command set a page is written in: the printer's LQ simulation (ESC/P
// style) or its native commands.
enum class CommandSetId : uint8_t { kLq, kNative };

struct Resolution {
  unsigned x = 0;  // dots per inch across
  unsigned y = 0;  // dots per inch down
  bool operator==(const Resolution&) const = default;
};

// Where a page's 1-bit rows come from.
enum class RowSource : uint8_t {
  kThresholded,   // a text page, thresholded at its own resolution
  kReduced,       // a 360x360 text page, pixel pairs and row pairs merged to 180x180
  kHalftoned,     // a picture page: the halftoning tool's image
  kMixed,         // text regions thresholded, picture regions halftoned
  kMixedReduced,  // the same on a 360x360 page printed at 180x180: text
                  // regions reduced, pictures screened from the page averaged 2x2
};

struct PagePlan {
  CommandSetId commandSet = CommandSetId::kLq;
  // A printer in its OKIDATA emulation enters the LQ set with ESC { A.
  bool okidataPrefix = false;
  int pageLines = 0;  // page length in 1/6-inch lines
  // The resolution the page was requested at sets up the page: line spacing,
  // direction, shingling and the trimming step.
  Resolution setup;
  // The resolution of the rows as printed picks the bit-image mode, the two
  // passes and the feed; a reduced page prints at 180x180 on a 360x360 setup.
  Resolution band;
  unsigned columns = 0;  // dots per printed row
  unsigned rows = 0;     // printed rows
  // Trailing blank columns are cut in steps of this many (1/60 inch at the
  // setup resolution); 0 sends every band whole.
  unsigned trimColumns = 0;
  RowSource source = RowSource::kThresholded;
};

}  // namespace zova
