// The halftoning tool's screens, by the number the filter passes it:
// "zova_ID BASE DPI MODE". The filter chooses, the tool draws.
#pragma once

namespace zova {

enum class DitherMode {
  kErrorDiffusion = 2,  // very light pictures: single dots, spread evenly
  kOrdered = 3,         // other pictures: a clustered-dot screen
};

}  // namespace zova
