// PNG and JPEG documents: decoded by the driver's own readers, which give up
// on a broken file (PAPPL 1.3.1's PNG reader loops on one for good) and stop
// for a cancel, then placed on the page by PAPPL's image filter.
#pragma once

#include <pappl/pappl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "job/cancel.h"

namespace zova::app {

struct DecodedImage {
  int width = 0;
  int height = 0;
  int depth = 0;  // bytes per pixel: 1 grey, 3 sRGB
  int ppi = 0;    // pixels per inch, 0 when the file does not say
  std::vector<uint8_t> pixels;
};

// The largest image decoded: 16384 pixels either way, 256 MiB of pixels.
inline constexpr int kMaxImageSide = 16384;
inline constexpr size_t kMaxImageBytes = size_t{256} << 20;

// Reads the whole image, or says in `error` why not (not the format, broken,
// too large, cancelled). Transparent parts show the white paper.
std::optional<DecodedImage> DecodePng(const std::string& path, const CancelToken& cancel,
                                      std::string* error);
std::optional<DecodedImage> DecodeJpeg(const std::string& path, const CancelToken& cancel,
                                       std::string* error);

// Registers the readers for image/png and image/jpeg in place of PAPPL's.
void AddImageFilters(pappl_system_t* system);

}  // namespace zova::app
