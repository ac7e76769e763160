// The printer stream of a job of 1-bit pages, each printed at the resolution
// and in the dialect given, as the output routines write it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/expected_stream.h"
#include "support/page_plan.h"

namespace zova::testing {

struct PrintedPage {
  std::string output_type;  // "LQ" or any other name for the native set
  unsigned r0, r1;
  PackedBitmap dots;
};

inline std::vector<uint8_t> PrintJob(const std::vector<PrintedPage>& pages) {
  ExpectedStream job;
  for (const PrintedPage& page : pages) {
    job.Page(MakePlan(page.output_type, page.r0, page.r1,
                      std::max<unsigned>(static_cast<unsigned>(page.dots.width()), 1u)),
             page.dots);
  }
  return job.End();
}

inline std::vector<uint8_t> PrintPage(const char* output_type, unsigned r0, unsigned r1,
                                      const PackedBitmap& dots) {
  return PrintJob({{output_type, r0, r1, dots}});
}

}  // namespace zova::testing
