// PNG output through libpng.
#include "preview/png_writer.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zova::preview {
namespace {

constexpr double kMetersPerInch = 0.0254;

png_uint_32 PixelsPerMeter(unsigned dpi) {
  return static_cast<png_uint_32>(std::lround(dpi / kMetersPerInch));
}

// libpng reports errors by longjmp; keep everything with a destructor out of
// the frame that calls setjmp.
bool WritePng(FILE* file, const DecodedPage& page, std::vector<uint8_t>& row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  // A PNG cannot be empty: a page without dots is one white dot wide.
  const size_t width = std::max<size_t>(page.dots.width(), 1);
  const size_t height = std::max<size_t>(page.dots.height(), 1);
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 1,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, PixelsPerMeter(page.geometry.HorizontalDpi),
               PixelsPerMeter(page.geometry.VerticalDpi), PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (size_t y = 0; y < height; ++y) {
    // Grey 0 is black: a printed dot is a 0 bit.
    std::fill(row.begin(), row.end(), 0xFF);
    if (y < page.dots.height()) {
      const uint8_t* dots = page.dots.Row(y);
      for (size_t i = 0; i < page.dots.stride(); ++i) row[i] = static_cast<uint8_t>(~dots[i]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePagePng(const std::string& path, const DecodedPage& page, std::string* error) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = strerror(errno);
    return false;
  }
  std::vector<uint8_t> row((std::max<size_t>(page.dots.width(), 1) + 7) / 8);
  const bool written = WritePng(file, page, row);
  const int write_errno = ferror(file) ? errno : 0;
  if (fclose(file) != 0 || !written || write_errno != 0) {
    *error = write_errno != 0 ? strerror(write_errno) : "libpng could not write the image";
    remove(path.c_str());
    return false;
  }
  return true;
}

}  // namespace zova::preview
