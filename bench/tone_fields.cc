// zova_tone_fields ZOVA_ID [OTHER_ZOVA_ID] [SIZE]: printed against wanted
// lightness of flat grey fields, 5 % to 95 % grey, through the given zova_ID
// program, in both dither modes at 180x180, 180x360, 360x180 and 360x360
// dpi.
//
// A field of p % grey has the sRGB value round(255 (1 - p / 100)); its target
// is the CIE L* of that value. The field, SIZE cells each way (256), is
// halftoned by the program, called as the filter calls it (the vertical
// resolution as a fourth argument when it is not 180), and printed in
// simulation at the cells' real pitch: every dot a black disc 0.2 mm across
// centred on its cell (print_model/printed_dots.h). The printed L* is that of
// the mean light the paper reflects, away from the field's edges. An
// OTHER_ZOVA_ID, an older build to compare, is called with three arguments,
// as the filter called it before it passed the vertical resolution.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "pipeline/child_process.h"
#include "print_model/printed_dots.h"
#include "testpage/testpage.h"
#include "tone_measure.h"
#include "zova_ID/tone_curve.h"

namespace zova::bench {
namespace {

constexpr int kMargin = 32;  // cells left out at each edge of a field

struct Tool {
  std::string path;
  bool passes_ydpi;  // called with YDPI when rows are not 1/180 in apart
};

// Runs the tool; its messages are shown when it fails.
bool RunTool(const Tool& tool, const std::string& base, CellPitch pitch, int mode) {
  ChildOptions options;
  options.argv = {tool.path, base, std::to_string(pitch.x), std::to_string(mode)};
  if (tool.passes_ydpi && pitch.y != 180) options.argv.push_back(std::to_string(pitch.y));
  std::string messages;
  options.stderrFd = -1;
  options.errorLine = [&](std::string_view line) { (messages += line) += '\n'; };
  ChildProcess child;
  const bool ok = child.Start(options) == 0 && child.Wait().succeeded();
  if (!ok) std::cerr << messages;
  return ok;
}

// Printed L* of a flat grey field through the tool, or -1.
double FieldLightness(const Tool& tool, const std::string& dir, int size, int grey, CellPitch pitch,
                      int mode) {
  const std::string base = dir + "/field";
  FILE* f = fopen((base + ".ppm").c_str(), "wb");
  if (!f) return -1;
  fprintf(f, "P6\n%d %d\n255\n", size, size);
  const std::vector<uint8_t> pixels(3 * static_cast<size_t>(size) * size,
                                    static_cast<uint8_t>(grey));
  fwrite(pixels.data(), 1, pixels.size(), f);
  if (fclose(f) != 0 || !RunTool(tool, base, pitch, mode)) return -1;
  const std::optional<PackedBitmap> pbm = testpage::ReadPbmFile(base + ".pbm");
  if (!pbm) return -1;
  const int end = size - kMargin;
  return CieLightness(DrawDots(*pbm, pitch, {kMargin, kMargin, end, end}).Mean());
}

struct Column {
  const Tool* tool;
  int mode;
  std::string name;
};

// One table: the fields at one resolution. Returns false when a run failed.
bool Measure(const std::vector<Column>& columns, CellPitch pitch, const std::string& dir,
             int size) {
  printf("\n%dx%d dpi: printed L* minus target L*\n", pitch.x, pitch.y);
  printf("grey sRGB target");
  for (const Column& c : columns) printf(" | %8s", c.name.c_str());
  printf("\n");
  std::vector<double> worst(columns.size()), sum(columns.size());
  int rows = 0;
  for (int percent = 5; percent <= 95; percent += 5, ++rows) {
    const int grey = static_cast<int>(std::lround(255 * (1 - percent / 100.0)));
    const double target = CieLightness(SrgbToLinear(grey));
    printf("%3d%% %4d %6.2f", percent, grey, target);
    for (size_t i = 0; i < columns.size(); ++i) {
      const double printed =
          FieldLightness(*columns[i].tool, dir, size, grey, pitch, columns[i].mode);
      if (printed < 0) {
        fprintf(stderr, "ERROR: zova_tone_fields: %s failed on grey %d\n",
                columns[i].tool->path.c_str(), grey);
        return false;
      }
      printf(" | %+8.2f", printed - target);
      worst[i] = std::max(worst[i], std::abs(printed - target));
      sum[i] += std::abs(printed - target);
    }
    printf("\n");
  }
  printf("mean |dL*|       ");
  for (double s : sum) printf(" | %8.2f", s / rows);
  printf("\nworst |dL*|      ");
  for (double w : worst) printf(" | %8.2f", w);
  printf("\n");
  return true;
}

int Main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    fprintf(stderr, "ERROR: usage: zova_tone_fields ZOVA_ID [OTHER_ZOVA_ID] [SIZE]\n");
    return 2;
  }
  const Tool tool{argv[1], true};
  Tool other{"", false};
  int size = 256;
  for (int i = 2; i < argc; ++i) {
    if (std::isdigit(static_cast<unsigned char>(argv[i][0]))) {
      size = atoi(argv[i]);
    } else {
      other.path = argv[i];
    }
  }
  if (size < 3 * kMargin || size > 4096) {
    fprintf(stderr, "ERROR: zova_tone_fields: size %d is not from %d to 4096\n", size, 3 * kMargin);
    return 2;
  }
  std::vector<Column> columns = {{&tool, 2, "ED"}, {&tool, 3, "CD"}};
  if (!other.path.empty()) {
    columns.push_back({&other, 2, "other ED"});
    columns.push_back({&other, 3, "other CD"});
  }
  std::string dir = (std::filesystem::temp_directory_path() / "zova-tone-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) {
    perror("ERROR: zova_tone_fields: mkdtemp");
    return 1;
  }
  printf("%s", tool.path.c_str());
  if (!other.path.empty()) printf(" (other: %s, called without YDPI)", other.path.c_str());
  printf(", fields of %dx%d cells, measured %d cells from the edges\n", size, size, kMargin);
  int status = 0;
  for (const CellPitch pitch :
       {CellPitch{180, 180}, CellPitch{180, 360}, CellPitch{360, 180}, CellPitch{360, 360}}) {
    if (!Measure(columns, pitch, dir, size)) {
      status = 1;
      break;
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return status;
}

}  // namespace
}  // namespace zova::bench

int main(int argc, char** argv) { return zova::bench::Main(argc, argv); }
