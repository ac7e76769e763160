// Puts a page's printed rows where the job's offsets move them: down or
// right by blank rows and columns in front, up or left by dropping what
// falls off the page's top or left edge. The page keeps its size, so what a
// move pushes past the bottom or right edge goes too. With no move the rows
// pass unchanged.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "dotmatrix/dotmatrix.h"

namespace zova {

class RowPlacer {
 public:
  RowPlacer(const PagePlan& plan, OutputState& out);

  // Hands the page's next row on to the bands. Returns false once the
  // printer stream has failed.
  [[nodiscard]] bool Put(std::span<const uint8_t> row);

 private:
  std::span<const uint8_t> Shifted(std::span<const uint8_t> row);

  const PagePlan& plan_;
  OutputState& out_;
  unsigned blankRows_;  // still to put in front of the first row
  unsigned dropRows_;   // still to drop off the top
  unsigned placed_ = 0;
  std::vector<uint8_t> shifted_;
};

}  // namespace zova
