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

// The command letters that follow ESC (or FS) in each set.
namespace lq {
inline constexpr uint8_t kEnterLq = '{';  // ESC { A: leave the OKIDATA emulation
inline constexpr uint8_t kEnterLqArgument = 'A';
inline constexpr uint8_t kReset = '@';           // ESC @: the printer's defaults; the job end
inline constexpr uint8_t kUpperCodes = '6';      // ESC 6: codes 128-159 print
inline constexpr uint8_t kDensity = 'x';         // FS x n: high-density dots on (1) or off (0)
inline constexpr uint8_t kUnidirectional = 'U';  // ESC U n
inline constexpr uint8_t kSixthInchLines = '2';  // ESC 2
inline constexpr uint8_t kPageLength = 'C';      // ESC C n: page length in lines
inline constexpr uint8_t kSpacing180 = '3';      // ESC 3 n: line spacing n/180 inch
inline constexpr uint8_t kSpacing360 = '+';      // ESC + n: line spacing n/360 inch
inline constexpr uint8_t kBitImage = '*';        // ESC * m nL nH: a band of bit-image columns
inline constexpr uint8_t kExtended = '(';        // ESC ( c, then a two-byte parameter length
inline constexpr uint8_t kUnit = 'U';  // ESC ( U: the unit of vertical moves, in 1/3600 inch
inline constexpr uint8_t kFeed = 'v';  // ESC ( v: move the paper down, in units
// ESC ( C 02 00 mL mH: the page length in units; where the paper stands
// becomes the top of form.
inline constexpr uint8_t kFormLength = 'C';
// ESC $ nL nH: the head to n units right of the left margin.
inline constexpr uint8_t kAbsoluteX = '$';
// The most ESC $ reaches: some makers' references cap nH at 127.
inline constexpr unsigned kMaxAbsoluteX = 0x7FFF;
// ESC ( U 01 00 0A: 10/3600 = 1/360 inch, the unit of page lengths and
// head moves.
inline constexpr uint8_t kUnit360 = 10;
inline constexpr unsigned kUnitsPerInch360 = 360;
// Feed: moves in 20/3600 inch (1/180), 8 of them a band's feed unit; then
// back to the printer's default of 64/3600.
inline constexpr uint8_t kFeedUnit = 0x14;
inline constexpr uint8_t kDefaultUnit = 0x40;
inline constexpr unsigned kFeedPerBand = 8;
inline constexpr unsigned kFeedPerBand360 = 2 * kFeedPerBand;  // the same, in 1/360 inch
}  // namespace lq

namespace native {
inline constexpr uint8_t kEnterNative = 'N';  // ESC N
inline constexpr uint8_t kUpperCodes = '6';   // ESC 6
inline constexpr uint8_t kPageLength = 'F';   // ESC F t u: page length in lines, two raw digits
inline constexpr uint8_t kPercent = '%';      // ESC % c
inline constexpr uint8_t kGraphics = 'B';     // ESC % B
inline constexpr uint8_t kBitImage = '1';     // ESC % 1 nH nL: a band of bit-image columns
inline constexpr uint8_t kFeed = '5';         // ESC % 5 n: move the paper down n units
// A band's feed unit is 16 of ESC % 5's; one command moves at most 255.
inline constexpr unsigned kFeedPerBand = 16;
inline constexpr unsigned kMaxFeed = 255;
}  // namespace native

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
