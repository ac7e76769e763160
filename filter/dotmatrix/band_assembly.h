// Band assembly internals shared with the page end.
#pragma once

#include "dotmatrix/dotmatrix.h"

namespace zova {

// Moves the 8-row group collected in CompBuffer into the pass buffers and
// emits a pass buffer that it completes. OutputLine calls it on every eighth
// row; EndPage calls it for a last group that the page leaves unfinished.
void CompleteGroup(OutputState& out);

}  // namespace zova
