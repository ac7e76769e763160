// Text commands of the LQ simulation (ESC/P), beside the graphics commands
// of dotmatrix/commands.h, as Epson's ESC/P reference names them.
#pragma once

#include <cstdint>

#include "dotmatrix/commands.h"

namespace zova::lq_text {

inline constexpr uint8_t kLineFeed = 0x0A;
inline constexpr uint8_t kCondensed = 0x0F;       // SI: 10 cpi becomes 17.14, 12 cpi 20
inline constexpr uint8_t kCondensedOff = 0x12;    // DC2: back to the pitch's own width
inline constexpr uint8_t kQuality = 'x';          // ESC x n: 0 draft, 1 letter quality
inline constexpr uint8_t kPica = 'P';             // ESC P: 10 cpi
inline constexpr uint8_t kElite = 'M';            // ESC M: 12 cpi
inline constexpr uint8_t kFifteen = 'g';          // ESC g: 15 cpi (condensed does not apply)
inline constexpr uint8_t kEighthInchLines = '0';  // ESC 0: 1/8-inch lines
// ESC 2 (1/6-inch lines) is lq::kSixthInchLines; ESC ( U, ESC ( v likewise.
// The page length, ESC $ and the 1/360-inch unit serve graphics pages too.
inline constexpr uint8_t kPageLength = lq::kFormLength;  // ESC ( C 2 0 mL mH
inline constexpr uint8_t kUnit360 = lq::kUnit360;        // ESC ( U 1 0 10
inline constexpr uint8_t kCancelSkip = 'O';              // ESC O: no skip over the perforation
inline constexpr uint8_t kLeftMargin = 'l';              // ESC l n: in columns of the pitch
inline constexpr uint8_t kRightMargin = 'Q';             // ESC Q n: likewise, from the left edge
inline constexpr uint8_t kAbsoluteX = lq::kAbsoluteX;    // ESC $ nL nH, in the ESC ( U unit
// ESC ( V 2 0 mL mH: ESC ( U units below the top of the form. A character's
// baseline lies kBaselineDrop below where this puts the head.
inline constexpr uint8_t kAbsoluteY = 'V';
inline constexpr unsigned kBaselineDrop = 40;  // 20/180 inch, in 1/360
inline constexpr uint8_t kBold = 'E';          // ESC E on, ESC F off
inline constexpr uint8_t kBoldOff = 'F';
inline constexpr uint8_t kUnderline = '-';      // ESC - 1 on, ESC - 0 off
inline constexpr uint8_t kTable = 't';          // ESC ( t 3 0 d1 d2 d3 assigns; ESC t d1 selects
inline constexpr uint8_t kTableSlot = 1;        // d1: the table slot the job's table goes in
inline constexpr uint8_t kInternational = 'R';  // ESC R n: national variants of ASCII
inline constexpr uint8_t kUsa = 0;              // ESC R 0: plain ASCII

}  // namespace zova::lq_text
