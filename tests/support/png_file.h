// Reads a PNG that zova-preview wrote back into dots, for the program's tests.
#pragma once

#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "dotmatrix/packed_bitmap.h"

namespace zova::testing {

// The dark pixels of the PNG at `path` as dots; false if it cannot be read.
inline bool ReadPngDots(const std::string& path, PackedBitmap* dots) {
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_GRAY;
  std::vector<uint8_t> grey(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr)) return false;
  *dots = PackedBitmap(image.width, image.height);
  for (size_t y = 0; y < image.height; ++y) {
    for (size_t x = 0; x < image.width; ++x) {
      if (grey[y * image.width + x] < 128) dots->Set(x, y);
    }
  }
  return true;
}

}  // namespace zova::testing
