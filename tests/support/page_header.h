// Page headers for the output routines' tests.
#pragma once

#include <cups/raster.h>

#include <cstring>

namespace zova::testing {

inline constexpr unsigned kA4Length = 842;
inline constexpr unsigned kLetterLength = 792;

// An RGB page header as the pipeline hands it to StartPage (band height 24).
inline cups_page_header2_t MakeHeader(const char* output_type, unsigned r0, unsigned r1,
                                      unsigned width, unsigned page_length = kA4Length) {
  cups_page_header2_t h;
  memset(&h, 0, sizeof h);
  strncpy(h.OutputType, output_type, sizeof h.OutputType - 1);
  h.HWResolution[0] = r0;
  h.HWResolution[1] = r1;
  h.PageSize[0] = 595;
  h.PageSize[1] = page_length;
  h.cupsWidth = width;
  h.cupsHeight = 100;
  h.cupsBitsPerPixel = 24;
  h.cupsBitsPerColor = 8;
  h.cupsBytesPerLine = 3 * width;
  h.cupsRowCount = 24;
  h.NumCopies = 1;
  return h;
}

}  // namespace zova::testing
