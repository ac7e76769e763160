#include "zova_ID/halftone.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "zova_ID/pbm_writer.h"
#include "zova_ID/ppm_reader.h"
#include "zova_ID/screen.h"

namespace zova {
namespace {

constexpr int kMaxDpi = 9600;

bool ParseInt(std::string_view text, int* value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && ptr == end && !text.empty();
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
  PbmWriter pbm;
  if (!pbm.Create(pbm_path, width, height)) return kExitFailed;

  std::unique_ptr<Screen> screen = request.mode == DitherMode::kErrorDiffusion
                                       ? MakeErrorDiffusionScreen(width, request.dpi)
                                       : MakeOrderedScreen(width, request.dpi);
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
  fprintf(stderr, "DEBUG: zova_ID: %s %dx%d at %d dpi, %s\n", pbm_path.c_str(), width, height,
          request.dpi,
          request.mode == DitherMode::kErrorDiffusion ? "error diffusion" : "clustered dots");
  return kExitOk;
}

}  // namespace

std::optional<HalftoneRequest> ParseArguments(int argc, const char* const* argv) {
  if (argc != 4 || argv[1][0] == '\0') {
    fprintf(stderr, "ERROR: zova_ID: usage: zova_ID BASE DPI MODE\n");
    return std::nullopt;
  }
  HalftoneRequest request;
  request.base = argv[1];
  if (!ParseInt(argv[2], &request.dpi) || request.dpi < 1 || request.dpi > kMaxDpi) {
    fprintf(stderr, "ERROR: zova_ID: resolution \"%s\" is not a number of dpi from 1 to %d\n",
            argv[2], kMaxDpi);
    return std::nullopt;
  }
  int mode = 0;
  if (!ParseInt(argv[3], &mode) || (mode != static_cast<int>(DitherMode::kErrorDiffusion) &&
                                    mode != static_cast<int>(DitherMode::kOrdered))) {
    fprintf(stderr, "ERROR: zova_ID: dither mode \"%s\" is not 2 or 3\n", argv[3]);
    return std::nullopt;
  }
  request.mode = static_cast<DitherMode>(mode);
  return request;
}

int RunHalftone(const HalftoneRequest& request, const volatile std::sig_atomic_t& cancelled) {
  const std::string pbm_path = request.base + ".pbm";
  const int status = Halftone(request, pbm_path, cancelled);
  if (status != kExitOk) RemoveStale(pbm_path);
  return status;
}

}  // namespace zova
