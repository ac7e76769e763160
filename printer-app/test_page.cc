#include "test_page.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app_system.h"
#include "callback_guard.h"
#include "testpage/alignment_page.h"
#include "vendor_options.h"

namespace zova::app {
namespace {

constexpr const char* kPrefix = "/testpage-";

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

// The label of the printer's default choice of a vendor option.
std::string DefaultLabel(pappl_printer_t* printer, const VendorOption& option) {
  const std::unique_ptr<ipp_t, IppDeleter> attrs(papplPrinterGetDriverAttributes(printer));
  const std::string name = std::string(option.name) + "-default";
  const char* value =
      ippGetString(ippFindAttribute(attrs.get(), name.c_str(), IPP_TAG_KEYWORD), 0, nullptr);
  for (const VendorChoice& choice : option.choices) {
    if (value != nullptr && strcmp(value, choice.keyword) == 0) return choice.label;
  }
  return option.choices.front().label;
}

bool WriteGreyPng(FILE* file, const std::vector<uint8_t>& pixels, unsigned width, unsigned height,
                  int dpi) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const auto per_metre = static_cast<png_uint_32>(dpi / 0.0254 + 0.5);
  png_set_pHYs(png, info, per_metre, per_metre, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (unsigned y = 0; y < height; ++y) {
    png_write_row(png, const_cast<png_bytep>(&pixels[size_t{y} * width]));
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

const char* WritePageFile(pappl_printer_t* printer, char* buffer, size_t bufsize) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  const pappl_media_col_t& media = data.media_default;
  testpage::TestPageSettings settings;
  settings.commandSet = DefaultLabel(printer, kCommandSetOption);
  settings.printAs = DefaultLabel(printer, kPrintAsOption);
  settings.dpiX = static_cast<unsigned>(data.x_default);
  settings.dpiY = static_cast<unsigned>(data.y_default);
  // The offsets of the source the page prints from, as a job there gets them.
  for (int i = 0; i < data.num_source; ++i) {
    if (strcmp(data.source[i], media.source) == 0) {
      settings.topOffsetMm = data.media_ready[i].top_offset / 100.0;
      settings.leftOffsetMm = data.media_ready[i].left_offset / 100.0;
    }
  }
  settings.media = media.size_name;
  const pwg_media_t* pwg = pwgMediaForPWG(media.size_name);
  if (pwg == nullptr) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "No test page for the media '%s'.",
                    media.size_name);
    return nullptr;
  }
  cups_page_header2_t header;
  cupsRasterInitPWGHeader(&header, const_cast<pwg_media_t*>(pwg), "sgray_8", data.x_default,
                          data.y_default, "one-sided", nullptr);
  const std::vector<uint8_t> page =
      testpage::DrawTestPage(settings, header.cupsWidth, header.cupsHeight);

  // A PNG at the printer's resolution, which the image filter prints pixel
  // for pixel: PAPPL prints no raster file of its own.
  snprintf(buffer, bufsize, "%s%sXXXXXX.png", Server().pageSpool.c_str(), kPrefix);
  const int fd = mkstemps(buffer, 4);
  FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  // Closed and removed however the writing ends.
  const bool written =
      file != nullptr && !page.empty() &&
      GuardWith(
          false,
          [&] {
            return WriteGreyPng(file, page, header.cupsWidth, header.cupsHeight, data.x_default);
          },
          [](const std::string&) {});
  const bool closed = file != nullptr ? fclose(file) == 0 : (fd >= 0 && close(fd) == 0);
  if (!written || !closed) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Unable to write the test page: %s",
                    fd < 0 ? strerror(errno) : buffer);
    if (fd >= 0) unlink(buffer);
    return nullptr;
  }
  return buffer;
}

}  // namespace

// The page is a whole page in memory: no test page rather than no server.
const char* WriteTestPage(pappl_printer_t* printer, char* buffer, size_t bufsize) {
  return GuardedCall(papplPrinterGetSystem(printer), "The test page",
                     static_cast<const char*>(nullptr),
                     [&] { return WritePageFile(printer, buffer, bufsize); });
}

bool IsTestPage(pappl_job_t* job) {
  const char* file = papplJobGetFilename(job);
  const std::string prefix = Server().pageSpool + kPrefix;
  return file != nullptr && strncmp(file, prefix.c_str(), prefix.size()) == 0;
}

}  // namespace zova::app
