#include "support/expected_stream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dotmatrix/dotmatrix.h"
#include "support/memory_sink.h"
#include "support/page_plan.h"

namespace zova::testing {
namespace {

std::vector<uint8_t> PackRow(const PackedBitmap& dots, unsigned y, size_t size) {
  std::vector<uint8_t> row(size, 0);
  for (unsigned x = 0; x < dots.width(); ++x) {
    if (dots.Get(x, y)) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  }
  return row;
}

PackedBitmap Threshold(const PageDescription& page, int below) {
  PackedBitmap dots(page.width, std::min(page.height, page.rowsWritten));
  std::vector<uint8_t> rgb(size_t{page.width} * 3);
  const testpage::RowFill fill = page.fill ? page.fill : testpage::White();
  for (unsigned y = 0; y < dots.height(); ++y) {
    fill(y, rgb.data(), page.width);
    for (unsigned x = 0; x < page.width; ++x) {
      dots.Set(x, y, rgb[3 * x] + rgb[3 * x + 1] + rgb[3 * x + 2] < below);
    }
  }
  return dots;
}

// The page's length in 1/6-inch lines, for the sizes the tests print.
int PageLines(const PageDescription& page) {
  switch (page.pageSize[1]) {
    case 842:  // A4, 11.69 inches
      return kA4Lines;
    case 792:  // Letter, 11 inches
      return kLetterLines;
  }
  fprintf(stderr, "the tests know no page %u points long\n", page.pageSize[1]);
  abort();
}

// The page printed as its raster header requests, `columns` wide.
PagePlan PlanOf(const PageDescription& page, unsigned columns) {
  return MakePlan(page.outputType, page.hwResolution[0], page.hwResolution[1], columns,
                  PageLines(page));
}

}  // namespace

ExpectedStream::ExpectedStream() : bytes_(kPreambleLength, kNul) {}

ExpectedStream& ExpectedStream::Page(const PagePlan& plan, const PackedBitmap& dots) {
  MemorySink sink;
  NoMessages quiet;
  OutputState out(sink.file(), quiet);
  if (!out.StartPage(plan)) abort();
  for (unsigned y = 0; y < dots.height(); ++y) {
    if (!out.OutputLine(PackRow(dots, y, (plan.columns + 7) / 8))) abort();
  }
  if (!out.EndPage()) abort();
  last_lq_ = plan.commandSet == CommandSetId::kLq;
  const std::vector<uint8_t> page = sink.Bytes();
  bytes_.insert(bytes_.end(), page.begin(), page.end());
  return *this;
}

ExpectedStream& ExpectedStream::TextPage(const PageDescription& page, const PackedBitmap& dots) {
  return Page(PlanOf(page, page.width), dots);
}

ExpectedStream& ExpectedStream::ReducedPage(const PageDescription& page,
                                            const PackedBitmap& halved) {
  return Page(ReducedPlan(page.outputType, (page.width + 1) / 2, PageLines(page)), halved);
}

ExpectedStream& ExpectedStream::PicturePage(const PageDescription& page, const PackedBitmap& dots) {
  return Page(PlanOf(page, dots.width()), dots);
}

std::vector<uint8_t> ExpectedStream::End() {
  if (last_lq_) {
    bytes_.push_back(0x1B);
    bytes_.push_back(0x40);
  }
  return bytes_;
}

PackedBitmap Halve(const PackedBitmap& dots) {
  PackedBitmap half((dots.width() + 1) / 2, (dots.height() + 1) / 2);
  for (unsigned y = 0; y < dots.height(); ++y) {
    for (unsigned x = 0; x < dots.width(); ++x) {
      if (dots.Get(x, y)) half.Set(x / 2, y / 2, 1);
    }
  }
  return half;
}

PackedBitmap FixtureHalftone(const PageDescription& page) { return Threshold(page, 600); }

PackedBitmap BlackPixels(const PageDescription& page) { return Threshold(page, 1); }

}  // namespace zova::testing
