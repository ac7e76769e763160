#include "job/page_request.h"

#include <cstdio>
#include <cstring>

#include "dotmatrix/command_set.h"

namespace zova {

std::optional<PageRequest> RequestFromHeader(const cups_page_header2_t& h, int page) {
  if (h.cupsWidth == 0 || h.cupsHeight == 0) {
    fprintf(stderr, "ERROR: Page %d is empty (%ux%u pixels); page skipped\n", page, h.cupsWidth,
            h.cupsHeight);
    return std::nullopt;
  }
  if (h.cupsBitsPerPixel != 24) {
    fprintf(stderr,
            "ERROR: Page %d has %u bits per pixel; the printer needs 24-bit RGB; page skipped\n",
            page, h.cupsBitsPerPixel);
    return std::nullopt;
  }
  if (h.cupsBytesPerLine / 3 < h.cupsWidth) {
    fprintf(stderr,
            "ERROR: Page %d has %u bytes per line, too few for %u RGB pixels; page skipped\n", page,
            h.cupsBytesPerLine, h.cupsWidth);
    return std::nullopt;
  }
  if (h.OutputType[0] == '\0') {
    fputs("ERROR: OutputType Error\n", stderr);
    return std::nullopt;
  }
  PageRequest request;
  request.commandSet = strcmp(h.OutputType, "LQ") == 0 ? CommandSetId::kLq : CommandSetId::kNative;
  request.resolution = {h.HWResolution[0], h.HWResolution[1]};
  request.pageLength = h.PageSize[1];
  request.width = h.cupsWidth;
  request.height = h.cupsHeight;
  request.bytesPerLine = h.cupsBytesPerLine;
  return request;
}

bool CheckPageRequest(const PageRequest& request) {
  return CommandSetFor(request.commandSet).CanPrint(request.resolution);
}

}  // namespace zova
