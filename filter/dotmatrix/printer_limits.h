// What the largest ZOVA-QRT can print: its widest carriage, its longest form
// and its finest resolution. A page beyond these cannot be printed, so the
// programs refuse it before they allocate or spool anything for it.
#pragma once

#include <cstdint>

namespace zova {

inline constexpr unsigned kMaxPrintDpi = 720;       // either direction
inline constexpr unsigned kMaxCarriageInches = 16;  // the widest carriage
inline constexpr unsigned kMaxFormInches = 64;      // the longest form

// Dots across the widest carriage, and rows down the longest form, at a
// resolution from 1 to kMaxPrintDpi.
constexpr uint64_t MaxColumnsAt(unsigned dpi) { return uint64_t{kMaxCarriageInches} * dpi; }
constexpr uint64_t MaxRowsAt(unsigned dpi) { return uint64_t{kMaxFormInches} * dpi; }

}  // namespace zova
