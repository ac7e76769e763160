// What a job asks of one page: the geometry of its RGB raster and how the
// printer is to print it, from the page's raster header and the job's
// print-as choice.
#pragma once

#include <cups/raster.h>

#include <optional>

#include "dotmatrix/page_plan.h"
#include "messages/messages.h"
#include "pipeline/print_as.h"

namespace zova {

struct PageRequest {
  CommandSetId commandSet = CommandSetId::kLq;
  Resolution resolution;      // of the raster
  unsigned pageLength = 0;    // points, for the page length sent to the printer
  double mediaLength = 0;     // inches, as exact as the header tells it
  unsigned width = 0;         // pixels per row
  unsigned height = 0;        // rows
  unsigned bytesPerLine = 0;  // bytes per row: 3 per pixel, padding allowed
  PrintAs printAs = PrintAs::kAuto;
};

// The request of a CUPS raster page, or nullopt after an error when the page
// cannot be printed at all: no pixels, not 24-bit RGB, or no OutputType to
// choose the command set by ("LQ", or any other name for the native set).
std::optional<PageRequest> RequestFromHeader(const cups_page_header2_t& header, PrintAs print_as,
                                             int page, Messages& messages);

// Whether the printer can print the page as asked: within its resolutions,
// its widest carriage and its longest form, in a command set that prints at
// that resolution. Refuses with an error naming what it cannot do, before
// anything is allocated for the page. `page` numbers the message.
[[nodiscard]] bool CheckPageRequest(const PageRequest& request, int page, Messages& messages);

}  // namespace zova
