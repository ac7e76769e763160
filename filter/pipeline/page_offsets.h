// How far a job moves what it prints, so that a form or passbook lands on
// its fields however the paper sits in the printer.
#pragma once

#include <optional>
#include <string_view>

namespace zova {

// In hundredths of a millimetre (PAPPL's unit for media offsets): positive
// moves the print down and right.
struct PageOffsets {
  int top = 0;
  int left = 0;
  bool operator==(const PageOffsets&) const = default;
};

// The PPD's options and the range a job may give, in millimetres.
inline constexpr std::string_view kTopOffsetOption = "ZovaTopOffset";
inline constexpr std::string_view kLeftOffsetOption = "ZovaLeftOffset";
inline constexpr int kMaxOffset = 1000;

// A value of the options in millimetres ("-1.5", "2"), in hundredths, or
// nullopt when it is not a number within the range.
std::optional<int> ParseOffsetMm(std::string_view text);

// The offset in printed dots at `dpi`, to the nearest dot.
int OffsetDots(int hundredths_mm, unsigned dpi);

}  // namespace zova
