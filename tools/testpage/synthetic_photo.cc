#include "testpage/synthetic_photo.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace zova {
namespace {

struct Rgb {
  double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb Scale(Rgb a, double k) { return {a.r * k, a.g * k, a.b * k}; }

// A repeatable grain in -1..1 for texture, from the pixel's position.
double Grain(int x, int y) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<double>((h ^ (h >> 16)) & 0xFFFF) / 32767.5 - 1.0;
}

// Where a pixel lies inside an ellipse: < 1 inside.
double Ellipse(double u, double v, double cu, double cv, double ru, double rv) {
  const double du = (u - cu) / ru, dv = (v - cv) / rv;
  return du * du + dv * dv;
}

constexpr double kHorizon = 0.58;
constexpr Rgb kSkyTop{110, 160, 225};
constexpr Rgb kSkyLow{222, 232, 244};
constexpr Rgb kGrassFar{150, 165, 95};
constexpr Rgb kGrassNear{85, 125, 55};
constexpr Rgb kSkin{226, 176, 146};
constexpr Rgb kHair{120, 82, 56};
constexpr Rgb kBall{205, 50, 45};
constexpr Rgb kSun{255, 244, 190};

// The scene in units of the picture height: u runs 0..aspect, v 0..1.
Rgb Scene(double u, double v, double aspect, int x, int y, double px) {
  Rgb c = v < kHorizon ? Mix(kSkyTop, kSkyLow, v / kHorizon)
                       : Mix(kGrassFar, kGrassNear, (v - kHorizon) / (1 - kHorizon));
  if (v >= kHorizon) {
    const double k = 1.0 + 0.12 * Grain(x, y) + 0.08 * std::sin(u * 40 + std::sin(v * 25) * 3);
    c = Scale(c, k);
  }

  // Sun with a soft glow in the sky.
  const double sun = std::hypot(u - 0.86 * aspect, v - 0.17);
  if (v < kHorizon) c = Mix(c, kSun, std::clamp(1.0 - (sun - 0.06) / 0.12, 0.0, 1.0) * 0.8);
  if (sun < 0.06) c = kSun;

  // Face: a shaded ellipsoid lit from the upper left, with hair, eyes, mouth.
  const double fu = 0.30 * aspect, fv = 0.50, fru = 0.17, frv = 0.24;
  const double face = Ellipse(u, v, fu, fv, fru, frv);
  if (face < 1.0) {
    const double nx = (u - fu) / fru, ny = (v - fv) / frv, nz = std::sqrt(1.0 - face);
    const double light = std::clamp(-0.45 * nx - 0.45 * ny + 0.77 * nz, 0.0, 1.0);
    c = Scale(kSkin, 0.55 + 0.45 * light);
    if (v < fv - 0.12 && Ellipse(u, v, fu, fv + 0.02, fru * 1.02, frv * 0.98) > 0.72) {
      c = Scale(kHair, 0.7 + 0.3 * light + 0.1 * Grain(x / 2, y));
    }
    for (const double eu : {fu - 0.065, fu + 0.065}) {
      const double eye = Ellipse(u, v, eu, fv - 0.04, 0.035, 0.018);
      if (eye < 1.0) c = eye < 0.3 ? Rgb{60, 45, 40} : Rgb{240, 240, 235};
    }
    const double mouth = Ellipse(u, v, fu, fv + 0.11, 0.07, 0.03);
    if (mouth < 1.0 && v > fv + 0.105) c = Rgb{185, 85, 85};
  }

  // A red ball on the grass, shaded, with a highlight.
  const double bu = 0.70 * aspect, bv = 0.74, br = 0.11;
  const double ball = std::hypot(u - bu, v - bv) / br;
  if (ball < 1.0) {
    const double nx = (u - bu) / br, ny = (v - bv) / br, nz = std::sqrt(1.0 - ball * ball);
    const double light = std::clamp(-0.5 * nx - 0.5 * ny + 0.7 * nz, 0.0, 1.0);
    c = Scale(kBall, 0.35 + 0.65 * light);
    c = Mix(c, Rgb{255, 255, 255}, std::pow(light, 30));
  }

  // Zone plate: rings getting finer outwards, to the limit of the pixels.
  const double zu = 0.87 * aspect, zv = 0.43, zr = 0.12;
  const double zone = std::hypot(u - zu, v - zv);
  if (zone < zr) {
    // Phase pi r^2 / (2 px zr): half a cycle per pixel at the rim.
    const double g = 128 + 110 * std::cos(std::numbers::pi * zone * zone / (2 * px * zr));
    c = {g, g, g};
  }

  // A fan of thin dark lines at the lower left, converging to the edge.
  if (v > 0.80 && u < 0.25 * aspect) {
    const double d = std::hypot(u, v - 0.80);
    const double step = std::numbers::pi / 2 / 24;
    const double off = std::remainder(std::atan2(v - 0.80, u), step);
    if (d > 0.02 && std::fabs(off) * d < 0.6 * px) c = Rgb{0, 0, 0};
  }

  // Grey wedge in 11 steps and a smooth ramp along the bottom edge.
  if (v > 0.93) {
    const double t = std::clamp(u / aspect, 0.0, 1.0);
    const double g = v < 0.965 ? 255 * (1 - std::round(t * 10) / 10) : 255 * (1 - t);
    c = {g, g, g};
  }
  return c;
}

uint8_t Channel(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); }

}  // namespace

void SyntheticPhotoRow(int width, int height, int y, uint8_t* rgb) {
  const double px = 1.0 / height;
  const double aspect = static_cast<double>(width) / height;
  const double v = (y + 0.5) * px;
  for (int x = 0; x < width; ++x) {
    const Rgb c = Scene((x + 0.5) * px, v, aspect, x, y, px);
    *rgb++ = Channel(c.r);
    *rgb++ = Channel(c.g);
    *rgb++ = Channel(c.b);
  }
}

}  // namespace zova
