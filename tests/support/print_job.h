// Runs 1-bit pages through the filter's output routines, as the filter
// program does for a job, and returns the printer stream.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "filter/dotmatrix/dotmatrix.h"
#include "tests/support/memory_sink.h"
#include "tests/support/page_header.h"
#include "tools/preview/packed_bitmap.h"

namespace zova::testing {

struct PrintedPage {
  std::string output_type;  // "LQ" or any other name for the native set
  unsigned r0, r1;
  preview::PackedBitmap dots;
};

// Setup; per page StartPage, one OutputLine per row, EndPage; Shutdown.
inline std::vector<uint8_t> PrintJob(const std::vector<PrintedPage>& pages) {
  MemorySink sink;
  OutputState out;
  out.Sink = sink.file();
  Setup(out);
  for (const PrintedPage& page : pages) {
    cups_page_header2_t header =
        MakeHeader(page.output_type.c_str(), page.r0, page.r1,
                   static_cast<unsigned>(std::max<size_t>(page.dots.width(), 1)));
    header.cupsHeight = static_cast<unsigned>(page.dots.height());
    EXPECT_TRUE(StartPage(out, nullptr, &header));
    std::vector<uint8_t>& row = out.Planes[0];
    for (size_t y = 0; y < page.dots.height(); ++y) {
      std::fill(row.begin(), row.end(), 0);
      std::copy(page.dots.Row(y), page.dots.Row(y) + page.dots.stride(), row.begin());
      OutputLine(out, &header);
    }
    ::testing::internal::CaptureStderr();  // EndPage's DEBUG line
    EndPage(out, &header);
    ::testing::internal::GetCapturedStderr();
  }
  Shutdown(out);
  return sink.Bytes();
}

inline std::vector<uint8_t> PrintPage(const char* output_type, unsigned r0, unsigned r1,
                                      const preview::PackedBitmap& dots) {
  return PrintJob({{output_type, r0, r1, dots}});
}

}  // namespace zova::testing
