// Lines a page prints in the printer's own fonts between its bit-image
// bands. The band routines say where the head is to stand for each band;
// the lines above it print first, so that the paper only ever moves down.
#pragma once

#include <climits>

#include "dotmatrix/output_sink.h"

namespace zova {

class PageLines {
 public:
  virtual ~PageLines() = default;
  // Prints the lines whose head position is at or above `position` (1/360
  // inch below the top of the page). Returns whether any printed: the paper
  // then stands at `position`, the head at the left margin.
  virtual bool PrintAbove(OutputSink& sink, unsigned position) = 0;
};

// The position below every line: the page's end.
inline constexpr unsigned kPageEnd = UINT_MAX;

}  // namespace zova
