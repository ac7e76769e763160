#include "pipeline/page_offsets.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace zova {

std::optional<int> ParseOffsetMm(std::string_view text) {
  const std::string value(text);
  char* end = nullptr;
  const double mm = strtod(value.c_str(), &end);
  if (value.empty() || *end != '\0' || !(std::fabs(mm) <= kMaxOffset)) return std::nullopt;
  const long hundredths = std::lround(mm * 100);
  if (hundredths < -kMaxOffset || hundredths > kMaxOffset) return std::nullopt;
  return static_cast<int>(hundredths);
}

int OffsetDots(int hundredths_mm, unsigned dpi) {
  return static_cast<int>(std::lround(hundredths_mm * static_cast<double>(dpi) / 2540.0));
}

}  // namespace zova
