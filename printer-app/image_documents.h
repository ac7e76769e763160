// PNG and JPEG documents: decoded by the driver's own readers, which give up
// on a broken file (PAPPL 1.3.1's PNG reader loops on one for good) and stop
// for a cancel, then placed on the page by PAPPL's image filter.
#pragma once

#include <pappl/pappl.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pipeline/cancel.h"

namespace zova::app {

struct DecodedImage;

// A share of the server's image memory, given back when it goes.
class ImageMemoryGrant {
 public:
  ImageMemoryGrant() = default;
  ImageMemoryGrant(ImageMemoryGrant&& other) noexcept : bytes_(std::exchange(other.bytes_, 0)) {}
  ImageMemoryGrant& operator=(ImageMemoryGrant&& other) noexcept;
  ~ImageMemoryGrant();

 private:
  friend bool ReserveImageMemory(DecodedImage& image, const char* kind, size_t working,
                                 const CancelToken& cancel, std::string* error);
  explicit ImageMemoryGrant(size_t bytes) : bytes_(bytes) {}
  size_t bytes_ = 0;
};

struct DecodedImage {
  // Declared first, so that it goes after the pixels.
  ImageMemoryGrant memory;
  int width = 0;
  int height = 0;
  int depth = 0;  // bytes per pixel: 1 grey, 3 sRGB
  int ppi = 0;    // pixels per inch, 0 when the file does not say
  std::vector<uint8_t> pixels;
};

// The largest image decoded: 16384 pixels either way, and no more pixels
// than the server's image memory holds.
inline constexpr int kMaxImageSide = 16384;
// The image memory of the whole server, which the images of all its jobs
// share (server option image-memory): one 16384 x 16384 grey image and
// its reader's working memory.
inline constexpr size_t kDefaultImageMemory = size_t{264} << 20;
// How long a job waits for its share before it gives up.
inline constexpr std::chrono::minutes kImageMemoryWait{10};

void SetImageMemory(size_t bytes);
size_t ImageMemory();

// Takes the server's image memory for the pixels of `image` (its size is
// known) and the reader's own `working` bytes (`kind` "PNG" or "JPEG"),
// waiting while other jobs' images
// hold it. False with the reason in `error`: more than the whole memory,
// cancelled, or no share within kImageMemoryWait.
bool ReserveImageMemory(DecodedImage& image, const char* kind, size_t working,
                        const CancelToken& cancel, std::string* error);

// Reads the whole image, or says in `error` why not (not the format, broken,
// too large, cancelled). Transparent parts show the white paper.
std::optional<DecodedImage> DecodePng(const std::string& path, const CancelToken& cancel,
                                      std::string* error);
std::optional<DecodedImage> DecodeJpeg(const std::string& path, const CancelToken& cancel,
                                       std::string* error);

// Registers the readers for image/png and image/jpeg in place of PAPPL's.
void AddImageFilters(pappl_system_t* system);

}  // namespace zova::app
