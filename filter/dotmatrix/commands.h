// Command bytes of the two command sets the ZOVA-QRT understands: the LQ
// simulation (ESC/P style) and the printer's native command set. The output
// routines write them and the preview's decoder reads them back, both from
// here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zova {

inline constexpr uint8_t kNul = 0x00;
inline constexpr uint8_t kCarriageReturn = 0x0D;
inline constexpr uint8_t kFormFeed = 0x0C;
inline constexpr uint8_t kEsc = 0x1B;
inline constexpr uint8_t kFs = 0x1C;

// The preamble flushes whatever a previous job left in the printer's parser.
inline constexpr int kPreambleLength = 9800;

// A bit-image column: 24 pins, 3 bytes, top byte first, top pin in bit 7.
inline constexpr size_t kPinsPerColumn = 24;
inline constexpr size_t kBytesPerColumn = kPinsPerColumn / 8;

// An LQ bit-image mode (ESC * m): the columns per inch it prints, and the
// dot rows per inch its bands are laid out for.
struct LqBitImageMode {
  uint8_t byte;
  unsigned dpi;
  unsigned rowDpi;
  // Only at 360 dpi: the variant for shingled bands after a page's first
  // 8-row group, which the printer staggers itself.
  bool staggered;
};

// Every 24-dot mode the driver uses.
inline constexpr LqBitImageMode kLqBitImageModes[] = {
    {0x00, 60, 180, false},  {0x01, 120, 180, false}, {0x27, 180, 180, false},
    {0x03, 240, 180, false}, {0x29, 360, 180, false}, {0x28, 360, 180, true},
    {0x49, 360, 360, false}, {0x48, 360, 360, true},
};

// The mode byte for bands of `dpi` columns per inch. Below 360 dpi one mode
// serves every row pitch; at 360 dpi the pitch (180 or anything finer) and
// the stagger pick one of four.
constexpr std::optional<uint8_t> LqModeByte(unsigned dpi, unsigned row_dpi, bool staggered) {
  for (const LqBitImageMode& mode : kLqBitImageModes) {
    if (mode.dpi != dpi) continue;
    if (dpi == 360 &&
        (mode.rowDpi != (row_dpi == 180 ? 180u : 360u) || mode.staggered != staggered)) {
      continue;
    }
    return mode.byte;
  }
  return std::nullopt;
}

constexpr const LqBitImageMode* FindLqBitImageMode(uint8_t byte) {
  for (const LqBitImageMode& mode : kLqBitImageModes) {
    if (mode.byte == byte) return &mode;
  }
  return nullptr;
}

// Horizontal resolutions the LQ simulation has a bit-image mode for.
constexpr bool LqHasModeFor(unsigned dpi) { return LqModeByte(dpi, 180, false).has_value(); }

}  // namespace zova
