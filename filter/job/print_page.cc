// Spooled page to printer bytes: decide where the 1-bit rows come from, plan
// the page, then read the rows back and hand them to the bands.
#include "job/print_page.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "binarize/binarize.h"
#include "dotmatrix/printer_limits.h"
#include "job/halftone_tool.h"

namespace zova {
namespace {

// The file the page's 1-bit rows are read back from, and how.
struct ReadBack {
  std::string path;
  int iPbmHeadLen = 0;
  size_t rowBytes = 0;  // bytes per row in the file
  uint8_t padding = 0;  // fills a short last row: white in either format
  // What the page's rows are, as the log line reports them.
  unsigned cupsWidth = 0;
  unsigned cupsHeight = 0;
  unsigned perLine = 0;
};

// Has the page's PPM screened into its PBM.
void Halftone(const PrinterJob& job, const PageRequest& request, const PageSpool& spool,
              PageClass page_class) {
  const SpoolPaths& paths = spool.paths();
  // An image left by an earlier job must never print in place of this page.
  unlink(paths.pbm.c_str());
  const int mode = DitherModeFor(page_class);
  if (job.halftone) {
    job.halftone(paths.base, request.resolution.x, mode);
  } else {
    RunHalftoneTool(job.halftoneTool, paths.base, request.resolution.x, mode, job.canceled);
  }
}

// Takes the page's size from the tool's image. Returns false when the image
// is unusable; a missing image shows when it is opened.
bool PreparePicture(const PageRequest& request, const PageSpool& spool, ReadBack& rb) {
  const SpoolPaths& paths = spool.paths();
  const PbmHeader pbm = getSize(paths.pbm);
  if (pbm.status == PbmHeader::kMalformed) return false;
  unsigned width = request.width;
  unsigned height = request.height;
  if (pbm.status == PbmHeader::kRead) {
    width = pbm.Width;
    height = pbm.Height;
  }
  // An image the printer could not hold is not the page's.
  if (width > MaxColumnsAt(request.resolution.x) || height > MaxRowsAt(request.resolution.y)) {
    fprintf(stderr, "ERROR: %s is %ux%u dots, more than the printer takes at %ux%u dpi\n",
            paths.pbm.c_str(), width, height, request.resolution.x, request.resolution.y);
    return false;
  }
  rb.path = paths.pbm;
  rb.iPbmHeadLen = pbm.HeadLen;
  rb.rowBytes = (width + 7) / 8;
  rb.padding = 0x00;
  // The page prints no wider than its raster.
  if (width > request.width) {
    fprintf(stderr, "DEBUG: Halftone image is %u pixels wide, clipped to the page's %u\n", width,
            request.width);
    width = request.width;
  }
  rb.cupsWidth = width;
  rb.cupsHeight = height;
  rb.perLine = (width + 7) / 8;
  return true;
}

// A text page reads its PPM back; at 360x360 it is printed at 180x180 by
// merging pixel pairs and row pairs.
void PrepareText(const PageRequest& request, const PageSpool& spool, bool reduced, ReadBack& rb) {
  rb.path = spool.paths().ppm;
  rb.iPbmHeadLen = spool.headerLength();
  rb.rowBytes = request.bytesPerLine;
  rb.padding = 0xFF;
  rb.cupsWidth = reduced ? (request.width + 1) / 2 : request.width;
  rb.cupsHeight = request.height;
  rb.perLine = request.bytesPerLine;
}

// Everything that is printed of the page, decided here and nowhere else.
PagePlan PlanPage(const PrinterJob& job, const PageRequest& request, RowSource source,
                  const ReadBack& rb) {
  PagePlan plan;
  plan.commandSet = request.commandSet;
  plan.okidataPrefix = job.model->okidataPrefix;
  // Page length in 1/6-inch lines; the length is in points.
  plan.pageLines = static_cast<int>(request.pageLength / 12.0 + 0.5);
  plan.setup = request.resolution;
  plan.band = source == RowSource::kReduced ? Resolution{180, 180} : request.resolution;
  plan.columns = rb.cupsWidth;
  plan.rows = source == RowSource::kReduced ? (rb.cupsHeight + 1) / 2 : rb.cupsHeight;
  plan.trimColumns = request.resolution.x / 60;
  plan.source = source;
  return plan;
}

// The next row of the read-back file, in place in the reader's buffer; a row
// cut short by the end of the file is padded.
ssize_t NextRow(SpoolReader& reader, const ReadBack& rb, uint8_t** row) {
  const ssize_t got = reader.Next(rb.rowBytes, row);
  if (got > 0 && static_cast<size_t>(got) < rb.rowBytes) {
    memset(*row + got, rb.padding, rb.rowBytes - static_cast<size_t>(got));
  }
  return got;
}

// Reads the page back row by row and hands each 1-bit row to the bands. Text
// rows are thresholded where they lie in the reader's buffer. Returns false
// when the printer stream has failed.
bool PrintRows(PrinterJob& job, const PageRequest& request, const PagePlan& plan,
               SpoolReader& reader, const ReadBack& rb) {
  const size_t packed = (plan.columns + 7) / 8;
  const bool reduced = plan.source == RowSource::kReduced;
  // The printed row of a reduced page: two raster rows merged.
  std::vector<uint8_t> merged(reduced ? packed : 0);
  unsigned y = 0;  // raster rows read
  for (unsigned printed = 0; printed < plan.rows && !job.canceled(); ++printed) {
    uint8_t* row = nullptr;
    const ssize_t got = NextRow(reader, rb, &row);
    if (got <= 0) {
      fprintf(stderr, "ERROR: readfile to Planes[0], iReadLen:%zd\n", got);
      break;
    }
    ++y;
    std::span<const uint8_t> dots;
    switch (plan.source) {
      case RowSource::kThresholded:
        TransToGray(row, plan.columns);
        dots = {row, packed};
        break;
      case RowSource::kHalftoned:
        // Bytes of a picture row beyond the page's width are clipped.
        dots = {row, std::min(rb.rowBytes, packed)};
        break;
      case RowSource::kReduced:
        // Two raster rows make one printed row; an odd last row prints alone.
        TransToGray360(row, request.width / 2, request.width % 2 != 0);
        memcpy(merged.data(), row, packed);
        dots = merged;
        if (y < rb.cupsHeight) {
          const ssize_t got2 = NextRow(reader, rb, &row);
          if (got2 <= 0) {
            fprintf(stderr, "ERROR: readfile to 360_2, iReadLen:%zd\n", got2);
            // The first row of the pair is already converted.
            return OutputLine(job.out, dots);
          }
          ++y;
          TransToGray360(row, request.width / 2, request.width % 2 != 0);
          for (size_t i = 0; i < packed; ++i) merged[i] |= row[i];
        }
        break;
    }
    if (!OutputLine(job.out, dots)) return false;
  }
  return true;
}

// A page cancelled before its rows: its setup and its form feed.
PageResult EndCancelledPage(PrinterJob& job, const PageRequest& request, PageSpool& spool) {
  ReadBack rb;
  PrepareText(request, spool, false, rb);
  if (!StartPage(job.out, PlanPage(job, request, RowSource::kThresholded, rb)) ||
      !EndPage(job.out)) {
    return PageResult::kFailed;
  }
  // The stopped tool has removed its image, or left a part of one.
  unlink(spool.paths().pbm.c_str());
  spool.Remove(false);
  return PageResult::kPrinted;
}

}  // namespace

PageResult PrintSpooledPage(PrinterJob& job, const PageRequest& request, PageSpool& spool) {
  const double dPicNo = DarkRatio(spool.count());
  fprintf(stderr, "ERROR:pic number:%.2f\n", dPicNo);

  // Where the rows come from: the tool's image, or the spooled page itself.
  const PageClass page_class = ClassifyPage(dPicNo);
  const bool iPicFlag = page_class != PageClass::kText;
  RowSource source = RowSource::kHalftoned;
  ReadBack rb;
  if (iPicFlag) {
    Halftone(job, request, spool, page_class);
    // A cancel stops the tool; the page ends without its rows.
    if (job.canceled()) return EndCancelledPage(job, request, spool);
    if (!PreparePicture(request, spool, rb)) return PageResult::kFailed;
  } else {
    const bool reduced = request.resolution == Resolution{360, 360};
    source = reduced ? RowSource::kReduced : RowSource::kThresholded;
    PrepareText(request, spool, reduced, rb);
  }
  fprintf(stderr, "ERROR: cupsWidth:%u cupsHeight:%u PerLine:%u pbmHeadLen:%d\n", rb.cupsWidth,
          rb.cupsHeight, rb.perLine, rb.iPbmHeadLen);
  const PagePlan plan = PlanPage(job, request, source, rb);

  SpoolReader reader;
  errno = 0;
  if (!reader.Open(rb.path)) {
    fprintf(stderr, "ERROR: open %s error:%d\n", rb.path.c_str(), errno);
    return PageResult::kFailed;
  }
  fprintf(stderr, "ERROR: open %s ok %d\n", rb.path.c_str(), errno);

  // The header was checked when written or parsed: skip it.
  std::string head(static_cast<size_t>(rb.iPbmHeadLen), '\0');
  reader.Read(reinterpret_cast<uint8_t*>(head.data()), head.size());
  fprintf(stderr, "ERROR: pbmHead %s ok \n", head.c_str());

  if (!StartPage(job.out, plan)) return PageResult::kFailed;
  const bool printed = PrintRows(job, request, plan, reader, rb) && EndPage(job.out);
  reader.Close();
  if (!printed) return PageResult::kFailed;

  spool.Remove(iPicFlag);
  return PageResult::kPrinted;
}

}  // namespace zova
