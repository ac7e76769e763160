// Spooled page to printer bytes: decide where the 1-bit rows come from, plan
// the page, then have the rows read back into the bands.
#include "job/print_page.h"

#include <unistd.h>

#include <cstdio>
#include <optional>

#include "dotmatrix/printer_limits.h"
#include "job/halftone_tool.h"
#include "job/read_back.h"
#include "job/region_map.h"

namespace zova {
namespace {

// Has `paths.ppm` screened into `paths.pbm`.
void Halftone(const PrinterJob& job, const SpoolPaths& paths, Resolution dpi,
              PageClass page_class) {
  // An image left by an earlier job must never print in place of this page.
  unlink(paths.pbm.c_str());
  const int mode = DitherModeFor(page_class);
  if (job.halftone) {
    job.halftone(paths.base, dpi.x, mode);
  } else {
    RunHalftoneTool(job.halftoneTool, paths.base, dpi.x, mode, job.canceled, dpi.y);
  }
}

// Takes the size of the rows from the tool's image, no wider than `width`.
// Returns false when the image is unusable; a missing image shows when it is
// opened.
bool PreparePicture(const SpoolPaths& paths, unsigned width, unsigned height, Resolution dpi,
                    ReadBack& rb) {
  const PbmHeader pbm = getSize(paths.pbm);
  if (pbm.status == PbmHeader::kMalformed) return false;
  unsigned image_width = width;
  unsigned image_height = height;
  if (pbm.status == PbmHeader::kRead) {
    image_width = pbm.Width;
    image_height = pbm.Height;
  }
  // An image the printer could not hold is not the page's.
  if (image_width > MaxColumnsAt(dpi.x) || image_height > MaxRowsAt(dpi.y)) {
    fprintf(stderr, "ERROR: %s is %ux%u dots, more than the printer takes at %ux%u dpi\n",
            paths.pbm.c_str(), image_width, image_height, dpi.x, dpi.y);
    return false;
  }
  rb.path = paths.pbm;
  rb.iPbmHeadLen = pbm.HeadLen;
  rb.rowBytes = (image_width + 7) / 8;
  rb.padding = 0x00;
  // The page prints no wider than its raster.
  if (image_width > width) {
    fprintf(stderr, "DEBUG: Halftone image is %u pixels wide, clipped to the page's %u\n",
            image_width, width);
    image_width = width;
  }
  rb.cupsWidth = image_width;
  rb.cupsHeight = image_height;
  rb.perLine = (image_width + 7) / 8;
  return true;
}

// A text page reads its PPM back; at 360x360 it is printed at 180x180 by
// merging pixel pairs and row pairs.
ReadBack PrepareText(const PageRequest& request, const PageSpool& spool, bool reduced) {
  ReadBack rb;
  rb.path = spool.paths().ppm;
  rb.iPbmHeadLen = spool.headerLength();
  rb.rowBytes = request.bytesPerLine;
  rb.padding = 0xFF;
  rb.cupsWidth = reduced ? (request.width + 1) / 2 : request.width;
  rb.cupsHeight = request.height;
  rb.perLine = request.bytesPerLine;
  return rb;
}

// Everything that is printed of the page, decided here and nowhere else.
PagePlan PlanPage(const PrinterJob& job, const PageRequest& request, RowSource source,
                  unsigned columns, unsigned rows) {
  PagePlan plan;
  plan.commandSet = request.commandSet;
  plan.okidataPrefix = job.model->okidataPrefix;
  // Page length in 1/6-inch lines; the length is in points.
  plan.pageLines = static_cast<int>(request.pageLength / 12.0 + 0.5);
  plan.setup = request.resolution;
  const bool reduced = source == RowSource::kReduced || source == RowSource::kMixedReduced;
  plan.band = reduced ? Resolution{180, 180} : request.resolution;
  plan.columns = columns;
  plan.rows = rows;
  plan.trimColumns = request.resolution.x / 60;
  plan.source = source;
  return plan;
}

// A page cancelled before its rows: its setup and its form feed.
PageResult EndCancelledPage(PrinterJob& job, const PageRequest& request, PageSpool& spool) {
  const PagePlan plan =
      PlanPage(job, request, RowSource::kThresholded, request.width, request.height);
  if (!StartPage(job.out, plan) || !EndPage(job.out)) return PageResult::kFailed;
  // The stopped tool has removed its image, or left a part of one.
  unlink(spool.paths().pbm.c_str());
  spool.Remove(false);
  return PageResult::kPrinted;
}

// What the page is printed as: its own content decides under Auto.
PageClass ChoosePageClass(PrintAs print_as, double dPicNo, const RegionMap& regions) {
  const PageClass by_ratio = ClassifyPage(dPicNo);
  // A picture's screen follows its dark ratio, whatever made it a picture.
  const PageClass picture = by_ratio == PageClass::kText ? PageClass::kPicture : by_ratio;
  switch (print_as) {
    case PrintAs::kAuto:
      return by_ratio;
    case PrintAs::kText:
      return PageClass::kText;
    case PrintAs::kPicture:
      return picture;
    case PrintAs::kMixed:
      // A page of text alone prints as a text page, a page without text as
      // a picture page.
      if (!regions.anyPicture) return PageClass::kText;
      if (!regions.anyText) return picture;
      break;
  }
  return PageClass::kMixed;
}

}  // namespace

PageResult PrintSpooledPage(PrinterJob& job, const PageRequest& request, PageSpool& spool) {
  const double dPicNo = DarkRatio(spool.count());
  fprintf(stderr, "ERROR:pic number:%.2f\n", dPicNo);
  const RegionMap regions = spool.Regions();
  const PageClass page_class = ChoosePageClass(request.printAs, dPicNo, regions);
  const bool reduced = request.resolution == Resolution{360, 360};

  // Where the rows come from: the tool's image, the spooled page itself, or
  // both, region by region.
  std::optional<ReadBack> text, picture;
  RowSource source = RowSource::kHalftoned;
  bool halved = false;
  if (page_class == PageClass::kText || page_class == PageClass::kMixed) {
    text = PrepareText(request, spool, reduced);
    source = reduced ? RowSource::kReduced : RowSource::kThresholded;
  }
  if (page_class != PageClass::kText) {
    // A mixed 360x360 page has its pictures screened at 180 dpi, from the
    // page averaged 2x2.
    halved = page_class == PageClass::kMixed && reduced;
    const SpoolPaths& paths = halved ? spool.halvedPaths() : spool.paths();
    const unsigned width = halved ? (request.width + 1) / 2 : request.width;
    const unsigned height = halved ? (request.height + 1) / 2 : request.height;
    const Resolution dpi = halved ? Resolution{180, 180} : request.resolution;
    const PageClass screen =
        page_class == PageClass::kMixed
            ? ChoosePageClass(PrintAs::kPicture, DarkRatio(regions.pictureCount), regions)
            : page_class;
    Halftone(job, paths, dpi, screen);
    // A cancel stops the tool; the page ends without its rows.
    if (job.canceled()) return EndCancelledPage(job, request, spool);
    picture.emplace();
    if (!PreparePicture(paths, width, height, dpi, *picture)) return PageResult::kFailed;
    if (page_class == PageClass::kMixed) {
      source = reduced ? RowSource::kMixedReduced : RowSource::kMixed;
    }
  }
  const ReadBack& first = text ? *text : *picture;
  fprintf(stderr, "ERROR: cupsWidth:%u cupsHeight:%u PerLine:%u pbmHeadLen:%d\n", first.cupsWidth,
          first.cupsHeight, first.perLine, first.iPbmHeadLen);
  const unsigned rows = reduced && text ? (first.cupsHeight + 1) / 2 : first.cupsHeight;
  const PagePlan plan = PlanPage(job, request, source, first.cupsWidth, rows);

  RowReader text_rows, picture_rows;
  if ((text && !text_rows.Open(*text)) || (picture && !picture_rows.Open(*picture))) {
    return PageResult::kFailed;
  }
  if (!StartPage(job.out, plan)) return PageResult::kFailed;
  const bool printed =
      PrintRows(job, request, plan, text ? &text_rows : nullptr, picture ? &picture_rows : nullptr,
                page_class == PageClass::kMixed ? &regions : nullptr) &&
      EndPage(job.out);
  if (!printed) return PageResult::kFailed;
  // The averaged page and its image go with the spool, unlogged.
  spool.Remove(picture.has_value() && !halved);
  return PageResult::kPrinted;
}

}  // namespace zova
