// Spooled page to printer bytes: plan the page, have its pictures screened,
// then have the rows read back into the bands.
#include "pipeline/print_page.h"

#include <unistd.h>

#include <optional>

#include "dotmatrix/printer_limits.h"
#include "pipeline/page_classification.h"
#include "pipeline/page_planner.h"
#include "pipeline/read_back.h"
#include "pipeline/region_map.h"

namespace zova {
namespace {

// Has `paths.ppm` screened into `paths.pbm` as the plan says.
ToolResult Halftone(const PrinterJob& job, const SpoolPaths& paths, const PictureSource& picture) {
  // An image left by an earlier job must never print in place of this page.
  unlink(paths.pbm.c_str());
  return job.settings.halftone(paths.base, picture);
}

// The tool's image as the plan's picture rows. Returns nullopt when the
// image is unusable; a missing image shows when it is opened.
std::optional<ReadBack> PreparePicture(const SpoolPaths& paths, const PictureSource& picture,
                                       Messages& messages) {
  const PbmHeader pbm = getSize(paths.pbm, messages);
  if (pbm.status == PbmHeader::kMalformed) return std::nullopt;
  unsigned image_width = picture.columns;
  unsigned image_height = picture.rows;
  if (pbm.status == PbmHeader::kRead) {
    image_width = pbm.Width;
    image_height = pbm.Height;
  }
  // An image the printer could not hold is not the page's.
  const Resolution dpi = picture.dpi;
  if (image_width > MaxColumnsAt(dpi.x) || image_height > MaxRowsAt(dpi.y)) {
    messages.Error("%s is %ux%u dots, more than the printer takes at %ux%u dpi", paths.pbm.c_str(),
                   image_width, image_height, dpi.x, dpi.y);
    return std::nullopt;
  }
  ReadBack rb;
  rb.path = paths.pbm;
  rb.iPbmHeadLen = pbm.HeadLen;
  rb.rowBytes = (image_width + 7) / 8;
  rb.padding = 0x00;
  // The page prints no wider than the plan; the rows beyond its own are
  // never read.
  if (image_width > picture.columns) {
    messages.Debug("Halftone image is %u pixels wide, clipped to the page's %u", image_width,
                   picture.columns);
    image_width = picture.columns;
  }
  rb.cupsWidth = image_width;
  rb.cupsHeight = image_height;
  rb.perLine = (image_width + 7) / 8;
  return rb;
}

// A text page reads its PPM back, printed rows as wide as the plan's.
ReadBack PrepareText(const PageSpool& spool, const PagePlan& plan) {
  ReadBack rb;
  rb.path = spool.paths().ppm;
  rb.iPbmHeadLen = spool.headerLength();
  rb.rowBytes = plan.text.rowBytes;
  rb.padding = 0xFF;
  rb.cupsWidth = plan.columns;
  rb.cupsHeight = plan.text.rows;
  rb.perLine = plan.text.rowBytes;
  return rb;
}

// A page cancelled before its rows: its setup and its form feed.
PageResult EndCancelledPage(PrinterJob& job, const PagePlan& plan, PageSpool& spool) {
  if (!job.out.StartPage(plan) || !job.out.EndPage()) return PageResult::kFailed;
  // The stopped tool has removed its image, or left a part of one.
  unlink(spool.paths().pbm.c_str());
  spool.Remove(false);
  return PageResult::kPrinted;
}

}  // namespace

PageResult PrintSpooledPage(PrinterJob& job, const PageRequest& request, PageSpool& spool,
                            PageLines* lines) {
  const double dPicNo = DarkRatio(spool.count());
  job.messages.Progress("pic number:%.2f", dPicNo);
  const RegionMap regions = spool.Regions();
  const PagePlan plan = PlanPage(request, dPicNo, regions, *job.settings.model,
                                 job.settings.offsets, job.settings.stream);

  // Where the rows come from: the spooled page itself, the tool's image, or
  // both, region by region.
  std::optional<ReadBack> text, picture;
  if (plan.pageClass != PageClass::kPicture) text = PrepareText(spool, plan);
  if (plan.pageClass != PageClass::kText) {
    const SpoolPaths& paths = plan.averaged ? spool.halvedPaths() : spool.paths();
    const ToolResult tool = Halftone(job, paths, plan.picture);
    // A cancel stops the tool; the page ends without its rows.
    if (job.cancel.canceled()) return EndCancelledPage(job, plan, spool);
    // Its error is out; there is no image to look for.
    if (tool.status == ToolResult::kNotStarted) return PageResult::kFailed;
    picture = PreparePicture(paths, plan.picture, job.messages);
    if (!picture) return PageResult::kFailed;
  }
  const ReadBack& first = text ? *text : *picture;
  job.messages.Progress(" cupsWidth:%u cupsHeight:%u PerLine:%u pbmHeadLen:%d", first.cupsWidth,
                        first.cupsHeight, first.perLine, first.iPbmHeadLen);

  RowReader text_rows(job.messages), picture_rows(job.messages);
  if ((text && !text_rows.Open(*text)) || (picture && !picture_rows.Open(*picture))) {
    return PageResult::kFailed;
  }
  if (!job.out.StartPage(plan, lines)) return PageResult::kFailed;
  const bool printed =
      PrintRows(job, plan, text ? &text_rows : nullptr, picture ? &picture_rows : nullptr,
                plan.pageClass == PageClass::kMixed ? &regions : nullptr) &&
      job.out.EndPage();
  if (!printed) return PageResult::kFailed;
  // The averaged page and its image go with the spool, unlogged.
  spool.Remove(picture.has_value() && !plan.averaged);
  return PageResult::kPrinted;
}

}  // namespace zova
