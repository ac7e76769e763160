// zova_ID's whole run, in process, on arbitrary bytes as its PPM page: the
// header reader, both screens and the PBM writer. A run either leaves a
// complete PBM of the image's size or nothing at all.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "dotmatrix/printer_limits.h"
#include "zova_ID/halftone.h"
#include "zova_ID/ppm_reader.h"

namespace {

namespace fs = std::filesystem;

// Claimed pixels beyond this are only read, not halftoned: a header may
// claim 5760x46080, and rows that the input lacks print white.
constexpr uint64_t kPixelBudget = 1 << 18;
constexpr int kResolutions[] = {60, 120, 180, 240, 360, 720};

// A scratch directory in memory where there is one, removed at exit.
struct ScratchDir {
  ScratchDir() {
    const fs::path root = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (root / "fuzz_ppm_halftone-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) abort();
    path = pattern;
  }
  ~ScratchDir() { fs::remove_all(path); }
  std::string path;
};

void Check(bool ok, const char* what) {
  if (ok) return;
  fprintf(stderr, "fuzz_ppm_halftone: %s\n", what);
  abort();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The PBM the filter will read: "P4\nW H\n" and H rows of (W + 7) / 8 bytes
// whose padding bits are clear.
void CheckPbm(const std::string& pbm, int width, int height) {
  const std::string header = "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
  const size_t stride = (static_cast<size_t>(width) + 7) / 8;
  Check(pbm.compare(0, header.size(), header) == 0, "the PBM header is not the image's size");
  Check(pbm.size() == header.size() + stride * height, "the PBM holds the wrong number of bytes");
  if (width % 8 == 0) return;
  const auto pad = static_cast<uint8_t>(0xFF >> (width % 8));
  for (int y = 0; y < height; ++y) {
    Check((static_cast<uint8_t>(pbm[header.size() + (y + 1) * stride - 1]) & pad) == 0,
          "padding bits are set");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchDir scratch;
  static const volatile std::sig_atomic_t kNotCancelled = 0;
  const std::string base = scratch.path + "/page";
  const std::string ppm = base + ".ppm", pbm = base + ".pbm";
  std::ofstream(ppm, std::ios::binary).write(reinterpret_cast<const char*>(data), size);

  const int dpi = kResolutions[size % std::size(kResolutions)];
  int width = 0, height = 0;
  bool fits = false;
  if (std::unique_ptr<zova::PpmReader> reader = zova::PpmReader::Open(ppm)) {
    width = reader->width();
    height = reader->height();
    fits = static_cast<uint64_t>(width) <= zova::MaxColumnsAt(dpi) &&
           static_cast<uint64_t>(height) <= zova::MaxRowsAt(zova::kMaxPrintDpi);
    // Too costly to halftone but taken by the printer: only its first rows.
    if (fits && static_cast<uint64_t>(width) * height > kPixelBudget) {
      std::vector<uint8_t> row(3 * static_cast<size_t>(width));
      for (int y = 0; y < 4 && y < height; ++y) reader->ReadRow(row.data());
      return 0;
    }
  }
  for (zova::DitherMode mode : {zova::DitherMode::kErrorDiffusion, zova::DitherMode::kOrdered}) {
    const int status = zova::RunHalftone({base, dpi, mode}, kNotCancelled);
    if (status == zova::kExitOk) {
      Check(fits, "an image the reader or the printer refuses was halftoned");
      CheckPbm(ReadFile(pbm), width, height);
      fs::remove(pbm);
    } else {
      Check(status == zova::kExitFailed, "an unknown exit status");
      Check(!fs::exists(pbm), "a failed run left its image");
    }
    Check(std::distance(fs::directory_iterator(scratch.path), {}) == 1,
          "a temporary file was left behind");
  }
  fs::remove(ppm);
  return 0;
}
