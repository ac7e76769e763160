// PNG through libpng, with the transforms PAPPL's own reader applies, so
// that an image prints as PAPPL would print it; but a read error ends the
// decoding, and cancel is asked at every row.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

#include "image_documents.h"

namespace zova::app {
namespace {

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  char message[256] = "";
  ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
};

void PngError(png_structp png, png_const_charp message) {
  auto* reader = static_cast<PngReader*>(png_get_error_ptr(png));
  snprintf(reader->message, sizeof reader->message, "%s", message);
  // Never back into libpng: the decoding is over.
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};

// Everything that may long-jump stays in here, with nothing to destroy.
bool Decode(PngReader& r, FILE* file, const CancelToken& cancel, DecodedImage& image,
            std::vector<png_bytep>& rows, std::string* error) {
  if (setjmp(png_jmpbuf(r.png))) {
    *error = std::string("Not a readable PNG image: ") + r.message;
    return false;
  }
  png_init_io(r.png, file);
#if defined(PNG_SKIP_sRGB_CHECK_PROFILE) && defined(PNG_SET_OPTION_SUPPORTED)
  png_set_option(r.png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
#endif
  png_read_info(r.png, r.info);
  image.width = static_cast<int>(png_get_image_width(r.png, r.info));
  image.height = static_cast<int>(png_get_image_height(r.png, r.info));
  const int color_type = png_get_color_type(r.png, r.info);
  image.depth = (color_type & PNG_COLOR_MASK_COLOR) ? 3 : 1;
  if (image.width < 1 || image.height < 1 || image.width > kMaxImageSide ||
      image.height > kMaxImageSide) {
    *error = "The PNG image is too large to print (" + std::to_string(image.width) + "x" +
             std::to_string(image.height) + ").";
    return false;
  }
  // The server's jobs share one image memory: this one waits for its share.
  // Beside the pixels, a pointer per row.
  if (!ReserveImageMemory(image, "PNG", sizeof(png_bytep) * static_cast<size_t>(image.height),
                          cancel, error)) {
    return false;
  }
  const int xdpi = static_cast<int>(png_get_x_pixels_per_inch(r.png, r.info));
  const int ydpi = static_cast<int>(png_get_y_pixels_per_inch(r.png, r.info));
  if (xdpi != ydpi) {
    *error = "The PNG image has pixels that are not square.";
    return false;
  }
  image.ppi = xdpi;
  if (png_get_valid(r.png, r.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(r.png);
  if (png_get_bit_depth(r.png, r.info) > 8) png_set_scale_16(r.png);
  if (png_get_bit_depth(r.png, r.info) < 8) png_set_packing(r.png);
  if (color_type & PNG_COLOR_MASK_PALETTE) png_set_palette_to_rgb(r.png);
  png_color_16 white{};
  white.red = white.green = white.blue = 65535;
  png_set_background(r.png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1);

  image.pixels.assign(size_t{1} * image.width * image.height * image.depth, 0);
  rows.resize(static_cast<size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    rows[static_cast<size_t>(y)] = image.pixels.data() + size_t{1} * y * image.width * image.depth;
  }
  for (int pass = png_set_interlace_handling(r.png); pass > 0; --pass) {
    for (png_bytep row : rows) {
      if (cancel.canceled()) {
        *error = "Cancelled while reading the PNG image.";
        return false;
      }
      png_read_row(r.png, row, nullptr);
    }
  }
  return true;
}

}  // namespace

std::optional<DecodedImage> DecodePng(const std::string& path, const CancelToken& cancel,
                                      std::string* error) {
  const std::unique_ptr<FILE, FileCloser> file(fopen(path.c_str(), "rbe"));
  if (!file) {
    *error = "Unable to open the PNG image.";
    return std::nullopt;
  }
  PngReader reader;
  reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, PngError, PngWarning);
  if (reader.png != nullptr) reader.info = png_create_info_struct(reader.png);
  if (reader.info == nullptr) {
    *error = "Out of memory for the PNG image.";
    return std::nullopt;
  }
  DecodedImage image;
  std::vector<png_bytep> rows;
  if (!Decode(reader, file.get(), cancel, image, rows, error)) return std::nullopt;
  return image;
}

}  // namespace zova::app
