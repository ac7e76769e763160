#include "pipeline/page_request.h"

#include <cups/cups.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "dotmatrix/command_set.h"
#include "dotmatrix/page_plan.h"
#include "dotmatrix/printer_limits.h"

namespace zova {
namespace {

// One of the header's page dimensions in points: as exact as the header has
// it (cupsPageSize), or the whole points every header carries.
double Points(float exact, unsigned whole) {
  const double longest = kMaxFormInches * 72.0;
  return std::isfinite(exact) && exact > 0 && exact <= longest ? exact
                                                               : std::min<double>(whole, longest);
}

// The medium's length in inches. A size within a point of a standard one is
// that size's exact length: PPDs give A4 as 842 points, 0.04 mm too long,
// which three forms make 1.7/360 inch. Any other size is its points.
double MediaLength(const cups_page_header2_t& h) {
  const double width = Points(h.cupsPageSize[0], h.PageSize[0]);
  const double length = Points(h.cupsPageSize[1], h.PageSize[1]);
  for (const bool turned : {false, true}) {
    // A landscape page is a standard size turned: its length is the size's width.
    const double across = turned ? length : width, down = turned ? width : length;
    const pwg_media_t* media = pwgMediaForSize(PWG_FROM_POINTS(across), PWG_FROM_POINTS(down));
    if (media == nullptr || media->pwg == nullptr || strncmp(media->pwg, "custom_", 7) == 0 ||
        std::abs(PWG_TO_POINTS(media->width) - across) >= 1 ||
        std::abs(PWG_TO_POINTS(media->length) - down) >= 1) {
      continue;
    }
    return (turned ? media->width : media->length) / 2540.0;
  }
  return length / 72;
}

}  // namespace

std::optional<PageRequest> RequestFromHeader(const cups_page_header2_t& h, PrintAs print_as,
                                             int page, Messages& messages) {
  if (h.cupsWidth == 0 || h.cupsHeight == 0) {
    messages.Error("Page %d is empty (%ux%u pixels); page skipped", page, h.cupsWidth,
                   h.cupsHeight);
    return std::nullopt;
  }
  if (h.cupsBitsPerPixel != 24) {
    messages.Error("Page %d has %u bits per pixel; the printer needs 24-bit RGB; page skipped",
                   page, h.cupsBitsPerPixel);
    return std::nullopt;
  }
  if (h.cupsBytesPerLine / 3 < h.cupsWidth) {
    messages.Error("Page %d has %u bytes per line, too few for %u RGB pixels; page skipped", page,
                   h.cupsBytesPerLine, h.cupsWidth);
    return std::nullopt;
  }
  if (h.OutputType[0] == '\0') {
    messages.Error("OutputType Error");
    return std::nullopt;
  }
  PageRequest request;
  request.commandSet = CommandSetOf(h.OutputType).id;
  request.resolution = {h.HWResolution[0], h.HWResolution[1]};
  request.pageLength = h.PageSize[1];
  request.mediaLength = MediaLength(h);
  request.width = h.cupsWidth;
  request.height = h.cupsHeight;
  request.bytesPerLine = h.cupsBytesPerLine;
  request.printAs = print_as;
  return request;
}

bool CheckPageRequest(const PageRequest& request, int page, Messages& messages) {
  const Resolution dpi = request.resolution;
  if (dpi.x == 0 || dpi.y == 0 || dpi.x > kMaxPrintDpi || dpi.y > kMaxPrintDpi) {
    messages.Error("Page %d is at %ux%u dpi; the printer prints at 1 to %u dpi; page skipped", page,
                   dpi.x, dpi.y, kMaxPrintDpi);
    return false;
  }
  // Rows may carry padding, but no further than the carriage reaches.
  const uint64_t row_pixels = std::max<uint64_t>(request.width, request.bytesPerLine / 3);
  if (row_pixels > MaxColumnsAt(dpi.x)) {
    messages.Error(
        "Page %d has rows of %llu pixels; the widest carriage takes %llu at %u dpi "
        "(%u inches); page skipped",
        page, static_cast<unsigned long long>(row_pixels),
        static_cast<unsigned long long>(MaxColumnsAt(dpi.x)), dpi.x, kMaxCarriageInches);
    return false;
  }
  if (request.height > MaxRowsAt(dpi.y)) {
    messages.Error(
        "Page %d is %u rows long; the longest form takes %llu at %u dpi (%u inches); "
        "page skipped",
        page, request.height, static_cast<unsigned long long>(MaxRowsAt(dpi.y)), dpi.y,
        kMaxFormInches);
    return false;
  }
  return CommandSetFor(request.commandSet).CanPrint(dpi, messages);
}

}  // namespace zova
