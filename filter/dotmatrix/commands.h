// Command bytes of the two dialects the ZOVA-QRT understands: the LQ
// simulation (ESC/P style) and the printer's native command set.
#pragma once

#include <cstdint>

namespace zova {

inline constexpr uint8_t kNul = 0x00;
inline constexpr uint8_t kCarriageReturn = 0x0D;
inline constexpr uint8_t kFormFeed = 0x0C;
inline constexpr uint8_t kEsc = 0x1B;
inline constexpr uint8_t kFs = 0x1C;

// The preamble flushes whatever a previous job left in the printer's parser.
inline constexpr int kPreambleLength = 9800;

// Horizontal resolutions the LQ simulation has a bit-image mode for.
constexpr bool LqHasModeFor(unsigned dpi) {
  return dpi == 60 || dpi == 120 || dpi == 180 || dpi == 240 || dpi == 360;
}

}  // namespace zova
