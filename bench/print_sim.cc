// zova_print_sim ORIGINAL.ppm PRINT.pbm DPI [YDPI] [SEEN]: how far the printed
// page's lightness is from the original's, as the eye sees both from reading
// distance. With SEEN, both as seen are written, one sample per cell, to
// SEEN-print.pgm and SEEN-original.pgm (sRGB encoded) for a look.
//
// Each dot of PRINT.pbm is a black disc 0.2 mm across centred on its cell,
// 1/DPI in wide and 1/YDPI in high (1/180 without YDPI), on white paper, as
// print_model/printed_dots.h draws it; the original is each pixel's sRGB
// luminance over its cell. Both are blurred with a Gaussian of sigma 0.15 mm,
// in linear light, with white paper around them, and compared as CIE L* on
// the 1/720 in grid over the image area.
// Prints the mean |dL*| and the mean dL* (print minus original; > 0 means
// the print is too light).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "print_model/printed_dots.h"
#include "testpage/testpage.h"
#include "tone_measure.h"
#include "zova_ID/ppm_reader.h"

namespace zova::bench {
namespace {

constexpr double kMmPerSample = 25.4 / kGridPerInch;
constexpr double kSigma = 0.15 / kMmPerSample;

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
bool WriteSeen(const Plane& p, int cell_width, int cell_height, const std::string& path) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const int w = p.w / cell_width;
  const int h = p.h / cell_height;
  fprintf(f, "P5\n%d %d\n255\n", w, h);
  std::vector<uint8_t> row(w);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double v =
          p.v[static_cast<size_t>(y * cell_height + cell_height / 2) * p.w + x * cell_width];
      const double e = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
      row[x] = static_cast<uint8_t>(std::lround(std::clamp(e, 0.0, 1.0) * 255));
    }
    fwrite(row.data(), 1, row.size(), f);
  }
  return fclose(f) == 0;
}

bool ParseDpi(const char* text, int* dpi) {
  char* end = nullptr;
  const long value = strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || value <= 0 || kGridPerInch % value != 0) return false;
  *dpi = static_cast<int>(value);
  return true;
}

int Main(int argc, char** argv) {
  if (argc < 4 || argc > 6) {
    fprintf(stderr, "ERROR: usage: zova_print_sim ORIGINAL.ppm PRINT.pbm DPI [YDPI] [SEEN]\n");
    return 2;
  }
  CellPitch pitch;
  if (!ParseDpi(argv[3], &pitch.x)) {
    fprintf(stderr, "ERROR: zova_print_sim: %s dpi does not divide the 1/720 in grid\n", argv[3]);
    return 2;
  }
  // A number after DPI is YDPI; anything else names the SEEN images.
  int next = 4;
  if (argc > next && std::isdigit(static_cast<unsigned char>(argv[next][0]))) {
    if (!ParseDpi(argv[next], &pitch.y)) {
      fprintf(stderr, "ERROR: zova_print_sim: %s dpi does not divide the 1/720 in grid\n",
              argv[next]);
      return 2;
    }
    ++next;
  }
  if (argc > next + 1) {
    fprintf(stderr, "ERROR: usage: zova_print_sim ORIGINAL.ppm PRINT.pbm DPI [YDPI] [SEEN]\n");
    return 2;
  }
  const char* seen = argc > next ? argv[next] : nullptr;
  const int cell_width = kGridPerInch / pitch.x;
  const int cell_height = kGridPerInch / pitch.y;
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
  const int h = static_cast<int>(pbm->height()) * cell_height;

  Plane original(w, h);
  std::vector<uint8_t> rgb(3 * static_cast<size_t>(ppm->width()));
  for (int y = 0; y < ppm->height(); ++y) {
    if (ppm->ReadRow(rgb.data()) != PpmReader::RowResult::kRow) {
      fprintf(stderr, "ERROR: zova_print_sim: %s is short\n", argv[1]);
      return 1;
    }
    for (int x = 0; x < ppm->width(); ++x) {
      const auto y_lin = static_cast<float>(SrgbLuminance(&rgb[3 * x]));
      for (int j = 0; j < cell_height; ++j) {
        std::fill_n(&original.at(x * cell_width, y * cell_height + j), cell_width, y_lin);
      }
    }
  }

  Plane print = DrawDots(*pbm, pitch);
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
  if (seen != nullptr) {
    const std::string base = seen;
    if (!WriteSeen(seen_print, cell_width, cell_height, base + "-print.pgm") ||
        !WriteSeen(seen_original, cell_width, cell_height, base + "-original.pgm")) {
      fprintf(stderr, "ERROR: zova_print_sim: cannot write %s-*.pgm\n", seen);
      return 1;
    }
  }
  return 0;
}

}  // namespace
}  // namespace zova::bench

int main(int argc, char** argv) { return zova::bench::Main(argc, argv); }
