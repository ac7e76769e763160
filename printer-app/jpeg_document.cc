// JPEG through libjpeg, decoded as PAPPL's own reader decodes it, with
// cancel asked at every row.
#include <csetjmp>
#include <cstdio>
#include <memory>

// After <cstdio>: jpeglib.h uses FILE and size_t without including them.
#include <jpeglib.h>

#include "image_documents.h"

namespace zova::app {
namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf back;
  char message[JMSG_LENGTH_MAX] = "";
};

[[noreturn]] void JpegError(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  errors->manager.format_message(info, errors->message);
  longjmp(errors->back, 1);
}

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};

// Everything that may long-jump stays in here, with nothing to destroy.
bool Decode(jpeg_decompress_struct& info, JpegErrors& errors, FILE* file, const CancelToken& cancel,
            DecodedImage& image, std::string* error) {
  if (setjmp(errors.back)) {
    *error = std::string("Not a readable JPEG image: ") + errors.message;
    return false;
  }
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.quantize_colors = FALSE;
  const bool grey = info.num_components == 1;
  info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  info.out_color_components = info.output_components = grey ? 1 : 3;
  jpeg_calc_output_dimensions(&info);
  image.width = static_cast<int>(info.output_width);
  image.height = static_cast<int>(info.output_height);
  image.depth = info.output_components;
  if (image.width < 1 || image.height < 1 || image.width > kMaxImageSide ||
      image.height > kMaxImageSide) {
    *error = "The JPEG image is too large to print (" + std::to_string(image.width) + "x" +
             std::to_string(image.height) + ").";
    return false;
  }
  // The server's jobs share one image memory: this one waits for its share.
  // A progressive JPEG is read whole first: libjpeg keeps every component's
  // coefficients, two bytes each, in 8x8 blocks.
  const size_t coefficients = jpeg_has_multiple_scans(&info)
                                  ? (info.image_width + 16) * size_t{1} * (info.image_height + 16) *
                                        info.num_components * sizeof(JCOEF)
                                  : 0;
  if (!ReserveImageMemory(image, "JPEG", coefficients, cancel, error)) return false;
  image.pixels.assign(size_t{1} * image.width * image.height * image.depth, 0);
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    if (cancel.canceled()) {
      *error = "Cancelled while reading the JPEG image.";
      return false;
    }
    JSAMPROW row =
        image.pixels.data() + size_t{1} * info.output_scanline * image.width * image.depth;
    jpeg_read_scanlines(&info, &row, 1);
  }
  int xdpi = 0, ydpi = 0;
  if (info.density_unit == 1) {
    xdpi = info.X_density;
    ydpi = info.Y_density;
  } else if (info.density_unit == 2) {
    xdpi = info.X_density * 254 / 100;
    ydpi = info.Y_density * 254 / 100;
  }
  if (xdpi != ydpi) {
    *error = "The JPEG image has pixels that are not square.";
    return false;
  }
  image.ppi = xdpi;
  jpeg_finish_decompress(&info);
  return true;
}

}  // namespace

std::optional<DecodedImage> DecodeJpeg(const std::string& path, const CancelToken& cancel,
                                       std::string* error) {
  const std::unique_ptr<FILE, FileCloser> file(fopen(path.c_str(), "rbe"));
  if (!file) {
    *error = "Unable to open the JPEG image.";
    return std::nullopt;
  }
  jpeg_decompress_struct info{};
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegError;
  jpeg_create_decompress(&info);
  DecodedImage image;
  const bool ok = Decode(info, errors, file.get(), cancel, image, error);
  jpeg_destroy_decompress(&info);
  if (!ok) return std::nullopt;
  return image;
}

}  // namespace zova::app
