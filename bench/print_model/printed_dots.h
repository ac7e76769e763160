// The page as the head prints it, in simulation: what the tone benchmarks and
// the tone tests measure printed lightness with.
#pragma once

#include <cstddef>
#include <vector>

#include "dotmatrix/packed_bitmap.h"

namespace zova::bench {

// The simulated paper is sampled this many times per inch.
inline constexpr int kGridPerInch = 720;

// The size of a page's cells: 1/x inch wide and 1/y inch high.
struct CellPitch {
  int x = 180;
  int y = 180;
};

// Whether cells of this pitch are whole numbers of samples (60, 120, 180,
// 240, 360 and 720 dpi are).
bool FitsTheGrid(CellPitch pitch);

// Reflectance in linear light on the grid: 1 is white paper, 0 solid ink.
struct Plane {
  int w = 0, h = 0;
  std::vector<float> v;
  Plane(int width, int height) : w(width), h(height), v(static_cast<size_t>(width) * height, 1) {}
  float& at(int x, int y) { return v[static_cast<size_t>(y) * w + x]; }
  float* row(int y) { return &v[static_cast<size_t>(y) * w]; }
  double Mean() const;
};

// Cells [x0, x1) x [y0, y1) of a page.
struct CellWindow {
  int x0, y0, x1, y1;
};

// The cells of `window` as printed: every dot a black disc 0.2 mm across
// centred on its cell, on white paper, drawn on a grid twice as fine as
// kGridPerInch and averaged down to it, kGridPerInch / pitch samples a cell.
// Dots outside the window whose discs reach into it are drawn too. Where
// discs share a fine sample their inked shares are taken as independent.
// The pitch must fit the grid.
Plane DrawDots(const PackedBitmap& dots, CellPitch pitch, CellWindow window);

// The whole page.
inline Plane DrawDots(const PackedBitmap& dots, CellPitch pitch) {
  return DrawDots(dots, pitch,
                  {0, 0, static_cast<int>(dots.width()), static_cast<int>(dots.height())});
}

}  // namespace zova::bench
