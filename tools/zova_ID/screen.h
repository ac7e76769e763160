// A halftone screen turns RGB rows, top to bottom, into packed 1-bit rows.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace zova {

class Screen {
 public:
  virtual ~Screen() = default;
  // Converts the next row: width RGB pixels into (width + 7) / 8 bytes, most
  // significant bit first, 1 = dot, padding bits 0.
  virtual void Row(const uint8_t* rgb, uint8_t* packed) = 0;
};

// Clustered-dot ordered screen: dots grow in compact clusters on a 45 degree
// grid. Each pixel is decided on its own, so it is fast and stable. The page
// is dpi x ydpi.
std::unique_ptr<Screen> MakeOrderedScreen(int width, int dpi, int ydpi);

// Serpentine Floyd-Steinberg error diffusion: dispersed dots that follow
// detail and light tones closely.
std::unique_ptr<Screen> MakeErrorDiffusionScreen(int width, int dpi, int ydpi);

// The ordered screen's levels: a flat field at level k inks the cells whose
// rank is below k, the ranks repeating every kOrderedPeriod cells each way.
inline constexpr int kOrderedLevels = 256;
inline constexpr int kOrderedPeriod = 16;
int OrderedRank(int x, int y);

// The error diffusion of the screen above without its tone curve: each pixel
// asks for a share of the paper in steps of 1/kDiffusionLevels.
inline constexpr int kDiffusionLevels = 4096;
class ErrorDiffusion {
 public:
  explicit ErrorDiffusion(int width);
  // Screens the next row; want[x] is from 0 to kDiffusionLevels.
  void Row(const uint16_t* want, uint8_t* packed);

 private:
  void Pixel(int want, uint8_t* packed, int x, int dir);

  int width_;
  bool left_to_right_ = true;
  std::vector<int32_t> current_;
  std::vector<int32_t> next_;
};

}  // namespace zova
