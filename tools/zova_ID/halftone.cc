#include "zova_ID/halftone.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "dotmatrix/printer_limits.h"
#include "zova_ID/pbm_writer.h"
#include "zova_ID/ppm_reader.h"
#include "zova_ID/screen.h"

namespace zova {
namespace {

bool ParseInt(std::string_view text, int* value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && ptr == end && !text.empty();
}

constexpr int kDefaultRowsPerInch = 180;

bool ParseDpi(const char* text, int* dpi) {
  return ParseInt(text, dpi) && *dpi >= 1 && *dpi <= static_cast<int>(kMaxPrintDpi);
}

// The header of a short or hostile file may claim any size; rows it lacks
// print white, so an image no printer can take is refused before the first
// row is written. Without the vertical resolution the height is held
// against the finest one the printer has.
bool FitsThePrinter(const std::string& ppm_path, int width, int height, int dpi, int ydpi) {
  const uint64_t max_columns = MaxColumnsAt(static_cast<unsigned>(dpi));
  if (static_cast<uint64_t>(width) > max_columns) {
    fprintf(stderr,
            "ERROR: zova_ID: %s: the image is %d dots wide, wider than the widest carriage "
            "(%u inches, %llu dots at %d dpi)\n",
            ppm_path.c_str(), width, kMaxCarriageInches,
            static_cast<unsigned long long>(max_columns), dpi);
    return false;
  }
  const unsigned rows_per_inch = ydpi > 0 ? static_cast<unsigned>(ydpi) : kMaxPrintDpi;
  const uint64_t max_rows = MaxRowsAt(rows_per_inch);
  if (static_cast<uint64_t>(height) > max_rows) {
    fprintf(stderr,
            "ERROR: zova_ID: %s: the image is %d rows long, longer than the longest form "
            "(%u inches, %llu rows at %u dpi)\n",
            ppm_path.c_str(), height, kMaxFormInches, static_cast<unsigned long long>(max_rows),
            rows_per_inch);
    return false;
  }
  return true;
}

// A stale image of an earlier run must not be printed in place of this page.
void RemoveStale(const std::string& path) {
  if (unlink(path.c_str()) != 0 && errno != ENOENT) {
    fprintf(stderr, "ERROR: zova_ID: cannot remove %s: %s\n", path.c_str(), strerror(errno));
  }
}

int Halftone(const HalftoneRequest& request, const std::string& pbm_path,
             const volatile std::sig_atomic_t& cancelled) {
  const std::string ppm_path = request.base + ".ppm";
  std::unique_ptr<PpmReader> ppm = PpmReader::Open(ppm_path);
  if (!ppm) return kExitFailed;

  const int width = ppm->width();
  const int height = ppm->height();
  if (!FitsThePrinter(ppm_path, width, height, request.dpi, request.ydpi)) return kExitFailed;
  PbmWriter pbm;
  if (!pbm.Create(pbm_path, width, height)) return kExitFailed;

  const int ydpi = request.ydpi > 0 ? request.ydpi : kDefaultRowsPerInch;
  std::unique_ptr<Screen> screen = request.mode == DitherMode::kErrorDiffusion
                                       ? MakeErrorDiffusionScreen(width, request.dpi, ydpi)
                                       : MakeOrderedScreen(width, request.dpi, ydpi);
  std::vector<uint8_t> rgb(3 * static_cast<size_t>(width));
  std::vector<uint8_t> packed((static_cast<size_t>(width) + 7) / 8);
  for (int y = 0; y < height; ++y) {
    const PpmReader::RowResult got = ppm->ReadRow(rgb.data());
    if (cancelled) {
      fprintf(stderr, "ERROR: zova_ID: cancelled at row %d of %s\n", y, ppm_path.c_str());
      return kExitFailed;
    }
    if (got == PpmReader::RowResult::kError) {
      fprintf(stderr, "ERROR: zova_ID: cannot read %s: %s\n", ppm_path.c_str(), strerror(errno));
      return kExitFailed;
    }
    screen->Row(rgb.data(), packed.data());
    if (!pbm.WriteRow(packed.data())) return kExitFailed;
  }
  if (!pbm.Commit()) return kExitFailed;

  if (ppm->rows_read() < height) {
    fprintf(stderr, "DEBUG: zova_ID: %s holds %d of %d rows; the rest is white\n", ppm_path.c_str(),
            ppm->rows_read(), height);
  }
  const std::string resolution =
      request.ydpi > 0 ? std::to_string(request.dpi) + "x" + std::to_string(request.ydpi)
                       : std::to_string(request.dpi);
  fprintf(stderr, "DEBUG: zova_ID: %s %dx%d at %s dpi, %s\n", pbm_path.c_str(), width, height,
          resolution.c_str(),
          request.mode == DitherMode::kErrorDiffusion ? "error diffusion" : "clustered dots");
  return kExitOk;
}

}  // namespace

std::optional<HalftoneRequest> ParseArguments(int argc, const char* const* argv) {
  if ((argc != 4 && argc != 5) || argv[1][0] == '\0') {
    fprintf(stderr, "ERROR: zova_ID: usage: zova_ID BASE DPI MODE [YDPI]\n");
    return std::nullopt;
  }
  HalftoneRequest request;
  request.base = argv[1];
  if (!ParseDpi(argv[2], &request.dpi)) {
    fprintf(stderr, "ERROR: zova_ID: resolution \"%s\" is not a number of dpi from 1 to %u\n",
            argv[2], kMaxPrintDpi);
    return std::nullopt;
  }
  int mode = 0;
  if (!ParseInt(argv[3], &mode) || (mode != static_cast<int>(DitherMode::kErrorDiffusion) &&
                                    mode != static_cast<int>(DitherMode::kOrdered))) {
    fprintf(stderr, "ERROR: zova_ID: dither mode \"%s\" is not 2 or 3\n", argv[3]);
    return std::nullopt;
  }
  request.mode = static_cast<DitherMode>(mode);
  if (argc == 5 && !ParseDpi(argv[4], &request.ydpi)) {
    fprintf(stderr,
            "ERROR: zova_ID: vertical resolution \"%s\" is not a number of dpi from 1 to %u\n",
            argv[4], kMaxPrintDpi);
    return std::nullopt;
  }
  return request;
}

int RunHalftone(const HalftoneRequest& request, const volatile std::sig_atomic_t& cancelled) {
  const std::string pbm_path = request.base + ".pbm";
  const int status = Halftone(request, pbm_path, cancelled);
  if (status != kExitOk) RemoveStale(pbm_path);
  return status;
}

}  // namespace zova
