// Serpentine Floyd-Steinberg error diffusion.
//
// Each pixel's wanted coverage, in steps of 1/kDiffusionLevels, plus the
// error carried to it, is printed when it reaches half; the difference goes
// on to the unvisited neighbours as 7/16 ahead, 3/16, 5/16 and 1/16 below.
// The 1/16 share takes what rounding left over, so no error is lost and a
// flat field prints its coverage. Rows alternate direction to avoid diagonal
// worms. Pure white and pure black take no error and pass none on: paper
// stays clean next to dark areas and solid areas stay solid.
#include <algorithm>
#include <cstring>
#include <vector>

#include "zova_ID/screen.h"
#include "zova_ID/tone_curve.h"

namespace zova {

constexpr int kFull = kDiffusionLevels;
constexpr int kHalf = kFull / 2;

ErrorDiffusion::ErrorDiffusion(int width)
    : width_(width),
      // One guard cell on each side takes the error pushed past the edges.
      current_(static_cast<size_t>(width) + 2),
      next_(static_cast<size_t>(width) + 2) {}

void ErrorDiffusion::Row(const uint16_t* want, uint8_t* packed) {
  std::memset(packed, 0, (static_cast<size_t>(width_) + 7) / 8);
  if (left_to_right_) {
    for (int x = 0; x < width_; ++x) Pixel(want[x], packed, x, 1);
  } else {
    for (int x = width_ - 1; x >= 0; --x) Pixel(want[x], packed, x, -1);
  }
  std::swap(current_, next_);
  std::fill(next_.begin(), next_.end(), 0);
  left_to_right_ = !left_to_right_;
}

void ErrorDiffusion::Pixel(int want, uint8_t* packed, int x, int dir) {
  int32_t* here = &current_[static_cast<size_t>(x) + 1];
  int32_t* below = &next_[static_cast<size_t>(x) + 1];
  if (want == 0) return;
  if (want == kFull) {
    packed[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    return;
  }
  const int32_t value = want + *here;
  int32_t error = value;
  if (value >= kHalf) {
    packed[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    error -= kFull;
  }
  const int32_t ahead = (error * 7) >> 4;
  const int32_t behind_below = (error * 3) >> 4;
  const int32_t straight_below = (error * 5) >> 4;
  here[dir] += ahead;
  below[-dir] += behind_below;
  below[0] += straight_below;
  below[dir] += error - ahead - behind_below - straight_below;
}

namespace {

class ErrorDiffusionScreen final : public Screen {
 public:
  ErrorDiffusionScreen(int width, int dpi, int ydpi)
      : width_(width),
        coverage_(ToneCurve(ToneCurve::kErrorDiffusion, dpi, ydpi)),
        want_(static_cast<size_t>(width)),
        diffusion_(width) {}

  void Row(const uint8_t* rgb, uint8_t* packed) override {
    for (int x = 0; x < width_; ++x) want_[x] = coverage_[luminance_(rgb + 3 * x)];
    diffusion_.Row(want_.data(), packed);
  }

 private:
  int width_;
  LuminanceTable luminance_;
  CoverageTable coverage_;
  std::vector<uint16_t> want_;
  ErrorDiffusion diffusion_;
};

}  // namespace

std::unique_ptr<Screen> MakeErrorDiffusionScreen(int width, int dpi, int ydpi) {
  return std::make_unique<ErrorDiffusionScreen>(width, dpi, ydpi);
}

}  // namespace zova
