#include "print_model/printed_dots.h"

#include <algorithm>
#include <cmath>

namespace zova::bench {
namespace {

constexpr int kFine = 2;  // the dots are drawn on a grid kFine times finer
constexpr double kMmPerFineSample = 25.4 / (kGridPerInch * kFine);
constexpr double kDotRadius = 0.1 / kMmPerFineSample;  // in fine samples
constexpr int kSubsamples = 8;

// Share of each fine sample that one dot inks, the dot centred at the
// stamp's middle, which lies on a sample corner (cells are whole, even
// numbers of fine samples).
struct Stamp {
  int radius;
  std::vector<float> ink;  // (2 radius) x (2 radius)
  Stamp() : radius(static_cast<int>(std::ceil(kDotRadius))) {
    const int n = 2 * radius;
    ink.resize(static_cast<size_t>(n) * n);
    for (int j = 0; j < n; ++j) {
      for (int i = 0; i < n; ++i) {
        int inside = 0;
        for (int sj = 0; sj < kSubsamples; ++sj) {
          for (int si = 0; si < kSubsamples; ++si) {
            const double dx = i - radius + (si + 0.5) / kSubsamples;
            const double dy = j - radius + (sj + 0.5) / kSubsamples;
            inside += dx * dx + dy * dy <= kDotRadius * kDotRadius;
          }
        }
        ink[static_cast<size_t>(j) * n + i] =
            static_cast<float>(inside) / (kSubsamples * kSubsamples);
      }
    }
  }
};

}  // namespace

bool FitsTheGrid(CellPitch pitch) {
  return pitch.x > 0 && pitch.y > 0 && kGridPerInch % pitch.x == 0 && kGridPerInch % pitch.y == 0;
}

double Plane::Mean() const {
  double sum = 0;
  for (float s : v) sum += s;
  return v.empty() ? 1.0 : sum / static_cast<double>(v.size());
}

Plane DrawDots(const PackedBitmap& dots, CellPitch pitch, CellWindow window) {
  static const Stamp stamp;
  const int cw = kGridPerInch / pitch.x * kFine;
  const int ch = kGridPerInch / pitch.y * kFine;
  Plane fine((window.x1 - window.x0) * cw, (window.y1 - window.y0) * ch);
  const int n = 2 * stamp.radius;
  // Cells beyond the window whose discs may still reach into it.
  const int reach_x = stamp.radius / cw + 1;
  const int reach_y = stamp.radius / ch + 1;
  const int width = static_cast<int>(dots.width()), height = static_cast<int>(dots.height());
  for (int y = std::max(0, window.y0 - reach_y); y < std::min(height, window.y1 + reach_y); ++y) {
    for (int x = std::max(0, window.x0 - reach_x); x < std::min(width, window.x1 + reach_x); ++x) {
      if (!dots.Get(x, y)) continue;
      const int x0 = (x - window.x0) * cw + cw / 2 - stamp.radius;
      const int y0 = (y - window.y0) * ch + ch / 2 - stamp.radius;
      for (int j = std::max(0, -y0); j < n && y0 + j < fine.h; ++j) {
        for (int i = std::max(0, -x0); i < n && x0 + i < fine.w; ++i) {
          fine.at(x0 + i, y0 + j) *= 1 - stamp.ink[static_cast<size_t>(j) * n + i];
        }
      }
    }
  }
  Plane print(fine.w / kFine, fine.h / kFine);
  for (int y = 0; y < print.h; ++y) {
    for (int x = 0; x < print.w; ++x) {
      float sum = 0;
      for (int j = 0; j < kFine; ++j) {
        for (int i = 0; i < kFine; ++i) sum += fine.at(kFine * x + i, kFine * y + j);
      }
      print.at(x, y) = sum / (kFine * kFine);
    }
  }
  return print;
}

}  // namespace zova::bench
