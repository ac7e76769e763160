// Page plans for the output routines' tests, from what the printer is known
// to do: the LQ simulation shingles its bands at 180 and 360 dpi across, a
// band at 120 or 240 dpi goes twice over its line, and the second pass
// buffer of a shingled page feeds 2 units (5 at 360 rows per inch).
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
  plan.shingled = plan.commandSet == CommandSetId::kLq && (r0 == 180 || r0 == 360);
  plan.twoPasses = r0 == 120 || r0 == 240;
  if (plan.shingled) plan.feedUnits = {1, r1 == 360 ? 5u : 2u};
  return plan;
}

// A 360x360 text page printed at 180x180: set up at 360x360, its bands at
// 180 dpi both ways.
inline PagePlan ReducedPlan(const std::string& output_type, unsigned columns,
                            int lines = kA4Lines) {
  PagePlan plan = MakePlan(output_type, 360, 360, columns, lines);
  plan.band = {180, 180};
  plan.reduced = true;
  if (plan.shingled) plan.feedUnits = {1, 2};
  return plan;
}

}  // namespace zova::testing
