// Test documents the printer application takes: PNG and JPEG images with
// their resolution recorded, PWG raster, and multi-page PPM read back from
// Ghostscript.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zova::testing {

// Pixels of an image: 3 (RGB) or 1 (grey) bytes each, row-major.
struct Image {
  unsigned width = 0;
  unsigned height = 0;
  unsigned channels = 3;
  std::vector<uint8_t> pixels;
};

// The image as 24-bit RGB.
std::vector<uint8_t> ToRgb(const Image& image);

bool WritePng(const std::string& path, const Image& image, unsigned dpi);
// Quality 100, baseline; the image that a decoder makes of it is read back
// by ReadJpeg.
bool WriteJpeg(const std::string& path, const Image& image, unsigned dpi);
bool ReadJpeg(const std::string& path, Image* image);

// Multi-page "P6" data (Ghostscript's ppmraw) split into pages.
std::vector<Image> SplitPpm(const std::string& data);

}  // namespace zova::testing
