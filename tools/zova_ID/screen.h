// A halftone screen turns RGB rows, top to bottom, into packed 1-bit rows.
#pragma once

#include <cstdint>
#include <memory>

namespace zova {

class Screen {
 public:
  virtual ~Screen() = default;
  // Converts the next row: width RGB pixels into (width + 7) / 8 bytes, most
  // significant bit first, 1 = dot, padding bits 0.
  virtual void Row(const uint8_t* rgb, uint8_t* packed) = 0;
};

// Clustered-dot ordered screen: dots grow in compact clusters on a 45 degree
// grid. Each pixel is decided on its own, so it is fast and stable.
std::unique_ptr<Screen> MakeOrderedScreen(int width, int dpi);

// Serpentine Floyd-Steinberg error diffusion: dispersed dots that follow
// detail and light tones closely.
std::unique_ptr<Screen> MakeErrorDiffusionScreen(int width, int dpi);

}  // namespace zova
