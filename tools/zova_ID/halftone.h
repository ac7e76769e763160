// zova_ID BASE DPI MODE [YDPI]: halftones BASE.ppm into BASE.pbm for the filter.
#pragma once

#include <csignal>
#include <optional>
#include <string>

#include "dotmatrix/dither_mode.h"

namespace zova {

// Exit statuses of zova_ID.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // input, output or cancellation
inline constexpr int kExitUsage = 2;   // bad command line

struct HalftoneRequest {
  std::string base;  // BASE.ppm is read, BASE.pbm written
  int dpi = 0;       // horizontal resolution of the page
  DitherMode mode = DitherMode::kOrdered;
  int ydpi = 0;  // vertical resolution; 0 when not given: rows 1/180 in apart
};

// Parses "BASE DPI MODE [YDPI]". On failure prints an "ERROR: " line.
std::optional<HalftoneRequest> ParseArguments(int argc, const char* const* argv);

// Halftones the page. Returns kExitOk once BASE.pbm is in place; otherwise
// prints an "ERROR: " line, leaves no BASE.pbm behind and returns
// kExitFailed. `cancelled` becoming non-zero stops it before the next row.
int RunHalftone(const HalftoneRequest& request, const volatile std::sig_atomic_t& cancelled);

}  // namespace zova
