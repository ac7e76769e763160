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
#include "job/region_map.h"

namespace zova {
namespace {

// A spool file the page's rows are read back from, and what they are.
struct ReadBack {
  std::string path;
  int iPbmHeadLen = 0;
  size_t rowBytes = 0;  // bytes per row in the file
  uint8_t padding = 0;  // fills a short last row: white in either format
  // The rows as the log line reports them.
  unsigned cupsWidth = 0;
  unsigned cupsHeight = 0;
  unsigned perLine = 0;
};

// Has `paths.ppm` screened into `paths.pbm`.
void Halftone(const PrinterJob& job, const SpoolPaths& paths, unsigned dpi, PageClass page_class) {
  // An image left by an earlier job must never print in place of this page.
  unlink(paths.pbm.c_str());
  const int mode = DitherModeFor(page_class);
  if (job.halftone) {
    job.halftone(paths.base, dpi, mode);
  } else {
    RunHalftoneTool(job.halftoneTool, paths.base, dpi, mode, job.canceled);
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

// Reads one spool file back row by row.
class RowReader {
 public:
  // Opens the file and skips its header, with the log lines of both.
  bool Open(const ReadBack& rb) {
    rb_ = rb;
    errno = 0;
    if (!reader_.Open(rb.path)) {
      fprintf(stderr, "ERROR: open %s error:%d\n", rb.path.c_str(), errno);
      return false;
    }
    fprintf(stderr, "ERROR: open %s ok %d\n", rb.path.c_str(), errno);
    // The header was checked when written or parsed: skip it.
    std::string head(static_cast<size_t>(rb.iPbmHeadLen), '\0');
    reader_.Read(reinterpret_cast<uint8_t*>(head.data()), head.size());
    fprintf(stderr, "ERROR: pbmHead %s ok \n", head.c_str());
    return true;
  }

  // The next row, in place in the reader's buffer; a row cut short by the
  // end of the file is padded. Null at the end, after the log line that
  // names `buffer`.
  uint8_t* Next(const char* buffer) {
    uint8_t* row = nullptr;
    const ssize_t got = reader_.Next(rb_.rowBytes, &row);
    if (got <= 0) {
      fprintf(stderr, "ERROR: readfile to %s, iReadLen:%zd\n", buffer, got);
      return nullptr;
    }
    if (static_cast<size_t>(got) < rb_.rowBytes) {
      memset(row + got, rb_.padding, rb_.rowBytes - static_cast<size_t>(got));
    }
    return row;
  }

  const ReadBack& readBack() const { return rb_; }

 private:
  ReadBack rb_;
  SpoolReader reader_;
};

// The page's rows as printed: thresholded, reduced, halftoned, or composed
// of thresholded and halftoned regions. Returns false when the printer
// stream has failed.
class PageRows {
 public:
  PageRows(PrinterJob& job, const PageRequest& request, const PagePlan& plan)
      : job_(job), request_(request), plan_(plan), packed_((plan.columns + 7) / 8) {}

  bool Print(RowReader* text, RowReader* picture, const RegionMap* regions) {
    const bool reduced =
        plan_.source == RowSource::kReduced || plan_.source == RowSource::kMixedReduced;
    std::vector<uint8_t> merged(reduced ? packed_ : 0);
    std::vector<uint8_t> composed(regions != nullptr ? packed_ : 0);
    unsigned raster_rows = 0;  // text rows read
    for (unsigned y = 0; y < plan_.rows && !job_.canceled(); ++y) {
      const uint8_t* text_row = nullptr;
      bool last = false;  // the read-back breaks off after this row
      if (text != nullptr) {
        uint8_t* row = text->Next("Planes[0]");
        if (row == nullptr) break;
        ++raster_rows;
        if (!reduced) {
          TransToGray(row, plan_.columns);
          text_row = row;
        } else {
          // Two raster rows make one printed row; an odd last row prints alone.
          TransToGray360(row, request_.width / 2, request_.width % 2 != 0);
          memcpy(merged.data(), row, packed_);
          if (raster_rows < text->readBack().cupsHeight) {
            uint8_t* second = text->Next("360_2");
            if (second == nullptr) {
              // The first row of the pair is already converted.
              last = true;
            } else {
              ++raster_rows;
              TransToGray360(second, request_.width / 2, request_.width % 2 != 0);
              for (size_t i = 0; i < packed_; ++i) merged[i] |= second[i];
            }
          }
          text_row = merged.data();
        }
      }
      std::span<const uint8_t> dots;
      if (picture == nullptr) {
        dots = {text_row, packed_};
      } else {
        uint8_t* picture_row = picture->Next("Planes[0]");
        if (picture_row == nullptr) break;
        // Bytes of a picture row beyond the page's width are clipped.
        const size_t picture_bytes = std::min(picture->readBack().rowBytes, packed_);
        if (text == nullptr) {
          dots = {picture_row, picture_bytes};
        } else {
          // A narrower image is blank beyond its edge.
          std::fill(composed.begin(), composed.end(), 0);
          memcpy(composed.data(), picture_row, picture_bytes);
          ComposeRow(*regions, y / kRegionRows, text_row, composed.data(), packed_,
                     composed.data());
          dots = composed;
        }
      }
      if (!OutputLine(job_.out, dots)) return false;
      if (last) break;
    }
    return true;
  }

 private:
  PrinterJob& job_;
  const PageRequest& request_;
  const PagePlan& plan_;
  size_t packed_;
};

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
  if (page_class == PageClass::kText || page_class == PageClass::kMixed) {
    text = PrepareText(request, spool, reduced);
    source = reduced ? RowSource::kReduced : RowSource::kThresholded;
  }
  if (page_class != PageClass::kText) {
    // A mixed 360x360 page has its pictures screened at 180 dpi, from the
    // page averaged 2x2.
    const bool halved = page_class == PageClass::kMixed && reduced;
    const SpoolPaths& paths = halved ? spool.halvedPaths() : spool.paths();
    const unsigned width = halved ? (request.width + 1) / 2 : request.width;
    const unsigned height = halved ? (request.height + 1) / 2 : request.height;
    const Resolution dpi = halved ? Resolution{180, 180} : request.resolution;
    const PageClass screen =
        page_class == PageClass::kMixed
            ? ChoosePageClass(PrintAs::kPicture, DarkRatio(regions.pictureCount), regions)
            : page_class;
    Halftone(job, paths, dpi.x, screen);
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
  PageRows page_rows(job, request, plan);
  const bool printed =
      page_rows.Print(text ? &text_rows : nullptr, picture ? &picture_rows : nullptr,
                      page_class == PageClass::kMixed ? &regions : nullptr) &&
      EndPage(job.out);
  if (!printed) return PageResult::kFailed;
  spool.Remove(picture.has_value());
  return PageResult::kPrinted;
}

}  // namespace zova
