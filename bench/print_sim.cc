// zova_print_sim ORIGINAL.ppm PRINT.pbm DPI [SEEN]: how far the printed
// page's lightness is from the original's, as the eye sees both from reading
// distance. With SEEN, both as seen are written, one sample per cell, to
// SEEN-print.pgm and SEEN-original.pgm (sRGB encoded) for a look.
//
// Each dot of PRINT.pbm is a black disc 0.2 mm across centred on its cell,
// 1/DPI in wide and 1/180 in high, on white paper, drawn on a grid of 1/1440
// in and averaged down to 1/720 in; the original is each pixel's sRGB
// luminance over its cell. Both are blurred with a Gaussian of sigma 0.15 mm,
// in linear light, with white paper around them, and compared as CIE L* on
// the 1/720 in grid over the image area.
// Prints the mean |dL*| and the mean dL* (print minus original; > 0 means
// the print is too light).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "testpage/testpage.h"
#include "tone_measure.h"
#include "zova_ID/ppm_reader.h"

namespace zova::bench {
namespace {

constexpr int kGridPerInch = 720;
constexpr int kFine = 2;  // the dots are drawn on a grid kFine times finer
constexpr int kCellHeight = kGridPerInch / 180;
constexpr double kMmPerSample = 25.4 / kGridPerInch;
constexpr double kDotRadius = 0.1 / kMmPerSample * kFine;  // in fine samples
constexpr double kSigma = 0.15 / kMmPerSample;
constexpr int kSubsamples = 8;

// A plane of w x h samples, 1 = white paper.
struct Plane {
  int w, h;
  std::vector<float> v;
  Plane(int width, int height) : w(width), h(height), v(static_cast<size_t>(width) * height, 1) {}
  float& at(int x, int y) { return v[static_cast<size_t>(y) * w + x]; }
  float* row(int y) { return &v[static_cast<size_t>(y) * w]; }
};

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

// The dots on paper: paper stays white where no disc lands; where discs
// share a fine sample their inked shares are taken as independent.
Plane DrawDots(const PackedBitmap& dots, int cell_width) {
  const int cw = cell_width * kFine;
  const int ch = kCellHeight * kFine;
  const int width = static_cast<int>(dots.width()), height = static_cast<int>(dots.height());
  Plane fine(width * cw, height * ch);
  const Stamp stamp;
  const int n = 2 * stamp.radius;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!dots.Get(x, y)) continue;
      const int x0 = x * cw + cw / 2 - stamp.radius;
      const int y0 = y * ch + ch / 2 - stamp.radius;
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

// Separable Gaussian blur; outside the plane is white paper.
Plane Blur(Plane& p) {
  const int r = static_cast<int>(std::ceil(3 * kSigma));
  std::vector<float> kernel(2 * r + 1);
  double sum = 0;
  for (int i = -r; i <= r; ++i) sum += kernel[i + r] = std::exp(-i * i / (2 * kSigma * kSigma));
  for (float& k : kernel) k = static_cast<float>(k / sum);
  std::vector<float> line(p.w + 2 * r, 1.0f);
  for (int y = 0; y < p.h; ++y) {
    std::copy_n(p.row(y), p.w, &line[r]);
    for (int x = 0; x < p.w; ++x) {
      float acc = 0;
      for (int k = 0; k <= 2 * r; ++k) acc += kernel[k] * line[x + k];
      p.at(x, y) = acc;
    }
  }
  Plane out(p.w, p.h);
  for (int y = 0; y < p.h; ++y) {
    float* o = out.row(y);
    std::fill_n(o, p.w, 0.0f);
    for (int k = 0; k <= 2 * r; ++k) {
      const int sy = y + k - r;
      const float kv = kernel[k];
      if (sy < 0 || sy >= p.h) {
        for (int x = 0; x < p.w; ++x) o[x] += kv;
      } else {
        const float* in = p.row(sy);
        for (int x = 0; x < p.w; ++x) o[x] += kv * in[x];
      }
    }
  }
  return out;
}

// The plane sampled at each cell's centre, sRGB encoded.
bool WriteSeen(const Plane& p, int cell_width, const std::string& path) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const int w = p.w / cell_width;
  const int h = p.h / kCellHeight;
  fprintf(f, "P5\n%d %d\n255\n", w, h);
  std::vector<uint8_t> row(w);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double v =
          p.v[static_cast<size_t>(y * kCellHeight + kCellHeight / 2) * p.w + x * cell_width];
      const double e = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
      row[x] = static_cast<uint8_t>(std::lround(std::clamp(e, 0.0, 1.0) * 255));
    }
    fwrite(row.data(), 1, row.size(), f);
  }
  return fclose(f) == 0;
}

int Main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    fprintf(stderr, "ERROR: usage: zova_print_sim ORIGINAL.ppm PRINT.pbm DPI [SEEN]\n");
    return 2;
  }
  const int dpi = atoi(argv[3]);
  if (dpi <= 0 || kGridPerInch % dpi != 0) {
    fprintf(stderr, "ERROR: zova_print_sim: %s dpi does not divide the 1/720 in grid\n", argv[3]);
    return 2;
  }
  const int cell_width = kGridPerInch / dpi;
  std::unique_ptr<PpmReader> ppm = PpmReader::Open(argv[1]);
  if (!ppm) return 1;
  const std::optional<PackedBitmap> pbm = testpage::ReadPbmFile(argv[2]);
  if (!pbm) {
    fprintf(stderr, "ERROR: zova_print_sim: cannot read %s as a P4 image\n", argv[2]);
    return 1;
  }
  if (static_cast<int>(pbm->width()) != ppm->width() ||
      static_cast<int>(pbm->height()) != ppm->height()) {
    fprintf(stderr, "ERROR: zova_print_sim: %s is %dx%d, %s is %dx%d\n", argv[1], ppm->width(),
            ppm->height(), argv[2], static_cast<int>(pbm->width()),
            static_cast<int>(pbm->height()));
    return 1;
  }
  const int w = static_cast<int>(pbm->width()) * cell_width;
  const int h = static_cast<int>(pbm->height()) * kCellHeight;

  Plane original(w, h);
  std::vector<uint8_t> rgb(3 * static_cast<size_t>(ppm->width()));
  for (int y = 0; y < ppm->height(); ++y) {
    if (ppm->ReadRow(rgb.data()) != PpmReader::RowResult::kRow) {
      fprintf(stderr, "ERROR: zova_print_sim: %s is short\n", argv[1]);
      return 1;
    }
    for (int x = 0; x < ppm->width(); ++x) {
      const auto y_lin = static_cast<float>(SrgbLuminance(&rgb[3 * x]));
      for (int j = 0; j < kCellHeight; ++j) {
        std::fill_n(&original.at(x * cell_width, y * kCellHeight + j), cell_width, y_lin);
      }
    }
  }

  Plane print = DrawDots(*pbm, cell_width);
  const Plane seen_original = Blur(original);
  const Plane seen_print = Blur(print);
  double abs_sum = 0;
  double signed_sum = 0;
  for (size_t i = 0; i < seen_print.v.size(); ++i) {
    const double d = CieLightness(seen_print.v[i]) - CieLightness(seen_original.v[i]);
    abs_sum += std::abs(d);
    signed_sum += d;
  }
  const double count = static_cast<double>(seen_print.v.size());
  printf("mean |dL*| %.2f  mean dL* %+.2f\n", abs_sum / count, signed_sum / count);
  if (argc == 5) {
    const std::string seen = argv[4];
    if (!WriteSeen(seen_print, cell_width, seen + "-print.pgm") ||
        !WriteSeen(seen_original, cell_width, seen + "-original.pgm")) {
      fprintf(stderr, "ERROR: zova_print_sim: cannot write %s-*.pgm\n", seen.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace
}  // namespace zova::bench

int main(int argc, char** argv) { return zova::bench::Main(argc, argv); }
