#include "app/image_files.h"

#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <memory>

#include "netpbm/netpbm_header.h"

namespace zova::testing {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

}  // namespace

std::vector<uint8_t> ToRgb(const Image& image) {
  if (image.channels == 3) return image.pixels;
  std::vector<uint8_t> rgb;
  rgb.reserve(image.pixels.size() * 3);
  for (uint8_t v : image.pixels) rgb.insert(rgb.end(), {v, v, v});
  return rgb;
}

bool WritePng(const std::string& path, const Image& image, unsigned dpi) {
  FilePtr file(fopen(path.c_str(), "wb"));
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, image.width, image.height, 8,
               image.channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Pixels per metre, as exact as the integer allows: PAPPL reads it back
  // as pixels per inch.
  const auto ppm = static_cast<png_uint_32>(dpi / 0.0254 + 0.5);
  png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (unsigned y = 0; y < image.height; ++y) {
    png_write_row(png, image.pixels.data() + size_t{y} * image.width * image.channels);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool WriteJpeg(const std::string& path, const Image& image, unsigned dpi) {
  FilePtr file(fopen(path.c_str(), "wb"));
  if (!file) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file.get());
  cinfo.image_width = image.width;
  cinfo.image_height = image.height;
  cinfo.input_components = static_cast<int>(image.channels);
  cinfo.in_color_space = image.channels == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  cinfo.density_unit = 1;  // dots per inch
  cinfo.X_density = static_cast<UINT16>(dpi);
  cinfo.Y_density = static_cast<UINT16>(dpi);
  jpeg_start_compress(&cinfo, TRUE);
  for (unsigned y = 0; y < image.height; ++y) {
    JSAMPROW row =
        const_cast<JSAMPROW>(image.pixels.data() + size_t{y} * image.width * image.channels);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

bool ReadJpeg(const std::string& path, Image* image) {
  FilePtr file(fopen(path.c_str(), "rb"));
  if (!file) return false;
  jpeg_decompress_struct dinfo;
  jpeg_error_mgr err;
  dinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&dinfo);
  jpeg_stdio_src(&dinfo, file.get());
  jpeg_read_header(&dinfo, TRUE);
  jpeg_start_decompress(&dinfo);
  image->width = dinfo.output_width;
  image->height = dinfo.output_height;
  image->channels = static_cast<unsigned>(dinfo.output_components);
  image->pixels.resize(size_t{image->width} * image->height * image->channels);
  while (dinfo.output_scanline < dinfo.output_height) {
    JSAMPROW row =
        image->pixels.data() + size_t{dinfo.output_scanline} * image->width * image->channels;
    jpeg_read_scanlines(&dinfo, &row, 1);
  }
  jpeg_finish_decompress(&dinfo);
  jpeg_destroy_decompress(&dinfo);
  return true;
}

std::vector<Image> SplitPpm(const std::string& data) {
  std::vector<Image> pages;
  std::unique_ptr<FILE, FileCloser> in(fmemopen(const_cast<char*>(data.data()), data.size(), "rb"));
  Image page;
  const auto next = [&] { return fgetc(in.get()); };
  for (NetpbmHeader ppm;
       in && (ppm = ReadNetpbmHeader(next, NetpbmForm::kPpm)).status == NetpbmHeader::kRead;) {
    page.width = static_cast<unsigned>(ppm.width);
    page.height = static_cast<unsigned>(ppm.height);
    page.pixels.resize(size_t{page.width} * page.height * 3);
    if (fread(page.pixels.data(), 1, page.pixels.size(), in.get()) != page.pixels.size()) break;
    pages.push_back(page);
  }
  return pages;
}

}  // namespace zova::testing
