#include "support/expected_stream.h"

#include <cstdio>
#include <cstring>

#include "dotmatrix/dotmatrix.h"
#include "support/memory_sink.h"

namespace zova::testing {
namespace {

std::vector<uint8_t> PackRow(const Bitmap& dots, unsigned y, size_t size) {
  std::vector<uint8_t> row(size, 0);
  for (unsigned x = 0; x < dots.width; ++x) {
    if (dots.at(x, y)) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  }
  return row;
}

Bitmap Threshold(const PageSpec& page, int below) {
  Bitmap dots(page.width, std::min(page.height, page.rowsWritten));
  std::vector<uint8_t> rgb(size_t{page.width} * 3);
  const testpage::RowFill fill = page.fill ? page.fill : testpage::White();
  for (unsigned y = 0; y < dots.height; ++y) {
    fill(y, rgb.data(), page.width);
    for (unsigned x = 0; x < page.width; ++x) {
      dots.at(x, y) = rgb[3 * x] + rgb[3 * x + 1] + rgb[3 * x + 2] < below;
    }
  }
  return dots;
}

}  // namespace

ExpectedStream::ExpectedStream() : bytes_(9800, 0) {}

ExpectedStream& ExpectedStream::Page(const cups_page_header2_t& start,
                                     const cups_page_header2_t& rows, const Bitmap& dots) {
  MemorySink sink;
  OutputState out;
  out.Sink = sink.file();
  cups_page_header2_t setup = start;
  setup.cupsRowCount = 24;
  if (!StartPage(out, nullptr, &setup)) abort();
  cups_page_header2_t current = rows;
  current.cupsRowCount = 24;
  for (unsigned y = 0; y < dots.height; ++y) {
    out.Planes[0] = PackRow(dots, y, out.Planes[0].size());
    OutputLine(out, &current);
  }
  EndPage(out, &current);
  last_lq_ = out.SimulationTypeLQ;
  const std::vector<uint8_t> page = sink.Bytes();
  bytes_.insert(bytes_.end(), page.begin(), page.end());
  return *this;
}

ExpectedStream& ExpectedStream::TextPage(const PageSpec& page, const Bitmap& dots) {
  const cups_page_header2_t h = page.Header();
  return Page(h, h, dots);
}

ExpectedStream& ExpectedStream::ReducedPage(const PageSpec& page, const Bitmap& halved) {
  const cups_page_header2_t start = page.Header();
  cups_page_header2_t rows = start;
  rows.HWResolution[0] = rows.HWResolution[1] = 180;
  rows.cupsWidth = (start.cupsWidth + 1) / 2;
  return Page(start, rows, halved);
}

ExpectedStream& ExpectedStream::PicturePage(const PageSpec& page, const Bitmap& dots) {
  const cups_page_header2_t start = page.Header();
  cups_page_header2_t rows = start;
  rows.cupsWidth = dots.width;
  rows.cupsHeight = dots.height;
  rows.cupsBytesPerLine = (dots.width + 7) / 8;
  return Page(start, rows, dots);
}

std::vector<uint8_t> ExpectedStream::End() {
  if (last_lq_ == 1) {
    bytes_.push_back(0x1B);
    bytes_.push_back(0x40);
  }
  return bytes_;
}

Bitmap Halve(const Bitmap& dots) {
  Bitmap half((dots.width + 1) / 2, (dots.height + 1) / 2);
  for (unsigned y = 0; y < dots.height; ++y) {
    for (unsigned x = 0; x < dots.width; ++x) {
      if (dots.at(x, y)) half.at(x / 2, y / 2) = 1;
    }
  }
  return half;
}

Bitmap FixtureHalftone(const PageSpec& page) { return Threshold(page, 600); }

Bitmap BlackPixels(const PageSpec& page) { return Threshold(page, 1); }

}  // namespace zova::testing
