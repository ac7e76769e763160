// Page plans for the output routines' tests.
#pragma once

#include <string>

#include "dotmatrix/page_plan.h"

namespace zova::testing {

// Page lengths in 1/6-inch lines: A4 (842 points) and Letter (792 points).
inline constexpr int kA4Lines = 70;
inline constexpr int kLetterLines = 66;

// A page printed as it was requested: "LQ" or any other name for the native
// set, at r0 x r1 dpi, `columns` dots wide.
inline PagePlan MakePlan(const std::string& output_type, unsigned r0, unsigned r1, unsigned columns,
                         int lines = kA4Lines) {
  PagePlan plan;
  plan.commandSet = output_type == "LQ" ? CommandSetId::kLq : CommandSetId::kNative;
  plan.pageLines = lines;
  plan.setup = plan.band = {r0, r1};
  plan.columns = columns;
  plan.trimColumns = r0 / 60;
  return plan;
}

}  // namespace zova::testing
