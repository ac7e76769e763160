// What flat fields print through each screen at the resolutions whose
// geometry is known: 180 and 360 dots per inch across, 180 and 360 rows per
// inch down. Measured in simulation by bench/tone_tables.cc, which writes
// printed_tone.cc.
#pragma once

#include <cstdint>

#include "zova_ID/screen.h"

namespace zova {

template <int kLevels>
struct PrintedTone {
  int dpi;
  int ydpi;
  // CIE L*, in thousandths, of a flat field at level i of kLevels, i = 0 to
  // kLevels: the ordered screen's levels, the shares error diffusion is
  // given. As measured: a level may print lighter than one with fewer dots.
  uint32_t lightness[kLevels + 1];
};

extern const PrintedTone<kOrderedLevels> kOrderedTones[4];
extern const PrintedTone<kDiffusionLevels> kDiffusionTones[4];

}  // namespace zova
