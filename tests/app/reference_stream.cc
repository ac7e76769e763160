#include "app/reference_stream.h"

#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "support/filter_runner.h"
#include "support/temp_dir.h"
#include "testpage/testpage.h"

namespace zova::testing {

std::vector<uint8_t> FilterStream(const std::vector<ReferencePage>& pages,
                                  const std::string& command_set, const std::string& ppd,
                                  std::string* error, const std::string& job_options) {
  std::vector<testpage::PageDescription> descriptions;
  for (const ReferencePage& page : pages) {
    testpage::PageDescription description;
    description.outputType = command_set;
    description.hwResolution[0] = page.dpi[0];
    description.hwResolution[1] = page.dpi[1];
    description.pageSize[0] = page.pageSize[0];
    description.pageSize[1] = page.pageSize[1];
    description.width = page.image.width;
    description.height = page.image.height;
    const std::vector<uint8_t> rgb = ToRgb(page.image);
    description.fill = [rgb](unsigned y, uint8_t* row, unsigned width) {
      memcpy(row, rgb.data() + size_t{y} * width * 3, size_t{width} * 3);
    };
    descriptions.push_back(std::move(description));
  }
  testing::TempDir dir;
  const std::string raster = dir.File("job.ras");
  if (!testpage::WriteRasterFile(raster, descriptions)) {
    *error = "cannot write " + raster;
    return {};
  }
  testing::FilterOptions options;
  options.args = testing::FilterArgs(testing::UniqueJobId("ref"), raster);
  options.args[4] = job_options;
  options.ppd = ppd;
  const char* path = getenv("PATH");
  options.env["PATH"] = std::filesystem::path(ZOVA_HALFTONE_TOOL).parent_path().string() + ":" +
                        (path != nullptr ? path : "/usr/bin:/bin");
  testing::FilterResult result = testing::RunFilter(options);
  if (result.status != 0) {
    *error = "rastertozova exited with " + std::to_string(result.status) + ":\n" + result.err;
    return {};
  }
  return result.out;
}

bool WritePwgRaster(const std::string& path, const std::vector<ReferencePage>& pages) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG);
  bool ok = ras != nullptr;
  for (const ReferencePage& page : pages) {
    if (!ok) break;
    cups_page_header2_t h;
    // The media only sets the header's page size, which the page gives.
    pwg_media_t media = *pwgMediaForPWG("iso_a4_210x297mm");
    media.width = static_cast<int>(page.pageSize[0] * 2540 / 72);
    media.length = static_cast<int>(page.pageSize[1] * 2540 / 72);
    ok = cupsRasterInitPWGHeader(&h, &media, page.image.channels == 3 ? "srgb_8" : "sgray_8",
                                 static_cast<int>(page.dpi[0]), static_cast<int>(page.dpi[1]),
                                 "one-sided", nullptr);
    h.PageSize[0] = page.pageSize[0];
    h.PageSize[1] = page.pageSize[1];
    h.cupsWidth = page.image.width;
    h.cupsHeight = page.image.height;
    h.cupsBytesPerLine = page.image.width * page.image.channels;
    ok = ok && cupsRasterWriteHeader2(ras, &h);
    const size_t line = h.cupsBytesPerLine;
    for (unsigned y = 0; ok && y < page.image.height; ++y) {
      ok = cupsRasterWritePixels(ras, const_cast<uint8_t*>(page.image.pixels.data()) + y * line,
                                 static_cast<unsigned>(line)) == line;
    }
  }
  if (ras != nullptr) cupsRasterClose(ras);
  return close(fd) == 0 && ok;
}

}  // namespace zova::testing
