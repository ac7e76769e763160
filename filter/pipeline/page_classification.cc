#include "pipeline/page_classification.h"

#include "binarize/binarize.h"

namespace zova {
namespace {

// Pages whose dark share is below this are pictures; below the second, very
// light pictures that the tool screens differently.
constexpr double kPictureRatio = 0.3;
constexpr double kLightPictureRatio = 0.1;

}  // namespace

void CountDarkPixels(const uint8_t* row, size_t pixels, DarkCount& count) {
  size_t i = 0;
  while (i < pixels) {
    if (i + 8 <= pixels && EightWhitePixels(row + 3 * i)) {
      i += 8;
      continue;
    }
    const uint8_t* px = row + 3 * i;
    const int sum = px[0] + px[1] + px[2];
    count.iTotal += sum <= kNearWhiteSum;
    count.iHis += sum < kDarkSum;
    ++i;
  }
}

double DarkRatio(const DarkCount& count) {
  return static_cast<double>(count.iHis) / static_cast<double>(count.iTotal);
}

PageClass ClassifyPage(double dPicNo) {
  return dPicNo < kPictureRatio ? PageClass::kPicture : PageClass::kText;
}

DitherMode ScreenFor(double dPicNo) {
  return dPicNo < kLightPictureRatio ? DitherMode::kErrorDiffusion : DitherMode::kOrdered;
}

}  // namespace zova
