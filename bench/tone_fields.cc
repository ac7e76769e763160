// zova_tone_fields ZOVA_ID [SIZE]: printed against wanted lightness of flat
// grey fields, 5 % to 95 % grey, through the given zova_ID program, in both
// dither modes at 180 and 360 dpi.
//
// A field of p % grey has the sRGB value round(255 (1 - p / 100)); its target
// is the CIE L* of that value. The printed L* comes from the share f of cells
// the program inks, under the tool's dot model: paper stays white with
// probability (1 - f)^a, a = DotGainExponent(dpi). Pass an older build's
// zova_ID to compare tone curves.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "testpage/testpage.h"
#include "tone_measure.h"
#include "zova_ID/tone_curve.h"

extern char** environ;

namespace zova::bench {
namespace {

struct Column {
  int mode;
  int dpi;
  const char* name;
};
constexpr Column kColumns[] = {
    {2, 180, "ED 180"}, {3, 180, "CD 180"}, {2, 360, "ED 360"}, {3, 360, "CD 360"}};

// Runs the tool with its messages in BASE.log, which a failure shows.
bool RunTool(const std::string& tool, const std::string& base, int dpi, int mode) {
  const std::string d = std::to_string(dpi);
  const std::string m = std::to_string(mode);
  const std::string log = base + ".log";
  const char* argv[] = {tool.c_str(), base.c_str(), d.c_str(), m.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  int status = 0;
  const bool ok =
      posix_spawn(&pid, tool.c_str(), &actions, nullptr, const_cast<char**>(argv), environ) == 0 &&
      waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!ok) {
    std::ifstream in(log);
    std::cerr << in.rdbuf();
  }
  return ok;
}

// Share of cells inked in the program's image of a flat grey field, or -1.
double FieldCoverage(const std::string& tool, const std::string& dir, int size, int grey, int dpi,
                     int mode) {
  const std::string base = dir + "/field";
  FILE* f = fopen((base + ".ppm").c_str(), "wb");
  if (!f) return -1;
  fprintf(f, "P6\n%d %d\n255\n", size, size);
  const std::vector<uint8_t> pixels(3 * static_cast<size_t>(size) * size,
                                    static_cast<uint8_t>(grey));
  fwrite(pixels.data(), 1, pixels.size(), f);
  if (fclose(f) != 0 || !RunTool(tool, base, dpi, mode)) return -1;
  const std::optional<PackedBitmap> pbm = testpage::ReadPbmFile(base + ".pbm");
  if (!pbm) return -1;
  return static_cast<double>(pbm->Count()) / static_cast<double>(pbm->width() * pbm->height());
}

int Main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "ERROR: usage: zova_tone_fields ZOVA_ID [SIZE]\n");
    return 2;
  }
  const std::string tool = argv[1];
  const int size = argc == 3 ? atoi(argv[2]) : 256;
  if (size < 16 || size > 4096) {
    fprintf(stderr, "ERROR: zova_tone_fields: size %s is not from 16 to 4096\n", argv[2]);
    return 2;
  }
  std::string dir = (std::filesystem::temp_directory_path() / "zova-tone-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) {
    perror("ERROR: zova_tone_fields: mkdtemp");
    return 1;
  }
  printf("%s, fields of %dx%d: target L* and printed L* (difference)\n", tool.c_str(), size, size);
  printf("grey sRGB target");
  for (const Column& c : kColumns) printf(" | %-13s", c.name);
  printf("\n");
  double worst[std::size(kColumns)] = {};
  double sum[std::size(kColumns)] = {};
  int rows = 0;
  int status = 0;
  for (int percent = 5; percent <= 95 && status == 0; percent += 5, ++rows) {
    const int grey = static_cast<int>(std::lround(255 * (1 - percent / 100.0)));
    const double target = CieLightness(SrgbToLinear(grey));
    printf("%3d%% %4d %6.2f", percent, grey, target);
    for (size_t i = 0; i < std::size(kColumns); ++i) {
      const double f = FieldCoverage(tool, dir, size, grey, kColumns[i].dpi, kColumns[i].mode);
      if (f < 0) {
        fprintf(stderr, "ERROR: zova_tone_fields: %s failed on grey %d\n", tool.c_str(), grey);
        status = 1;
        break;
      }
      const double printed = CieLightness(std::pow(1 - f, DotGainExponent(kColumns[i].dpi)));
      printf(" | %6.2f %+6.2f", printed, printed - target);
      worst[i] = std::max(worst[i], std::abs(printed - target));
      sum[i] += std::abs(printed - target);
    }
    printf("\n");
  }
  if (status == 0) {
    printf("mean |dL*|       ");
    for (size_t i = 0; i < std::size(kColumns); ++i) printf(" | %13.2f", sum[i] / rows);
    printf("\nworst |dL*|      ");
    for (double w : worst) printf(" | %13.2f", w);
    printf("\n");
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return status;
}

}  // namespace
}  // namespace zova::bench

int main(int argc, char** argv) { return zova::bench::Main(argc, argv); }
