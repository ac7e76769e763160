// The driver's PPD options, run through the cups-filters chain by
// cupsfilter, must reach the raster page headers the filter reads: the
// command set as OutputType, the resolution, the page size, and always
// 24-bit chunky RGB.
#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "integration/private_cupsd.h"

namespace zova::testing {
namespace {

namespace fs = std::filesystem;

struct PageHeader {
  std::string outputType;
  unsigned resolution[2];
  unsigned pageSize[2];
  unsigned bitsPerColor, bitsPerPixel, colorSpace, colorOrder;
};

// Runs cupsfilter up to CUPS raster and reads back every page header.
std::vector<PageHeader> RasterHeaders(const std::string& ppd, const std::string& file,
                                      const std::vector<std::string>& options, std::string* error) {
  const fs::path raster = fs::temp_directory_path() / ("zova-chain-" + std::to_string(getpid()));
  const CommandResult run = ChainToRaster(ppd, file, options, raster.string());
  std::vector<PageHeader> headers;
  const int fd = open(raster.c_str(), O_RDONLY | O_CLOEXEC);
  if (run.status != 0 || fd < 0) {
    *error = "cupsfilter failed:\n" + run.output;
  } else {
    cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
    cups_page_header2_t h;
    std::vector<unsigned char> row;
    while (ras != nullptr && cupsRasterReadHeader2(ras, &h)) {
      headers.push_back({h.OutputType,
                         {h.HWResolution[0], h.HWResolution[1]},
                         {h.PageSize[0], h.PageSize[1]},
                         h.cupsBitsPerColor,
                         h.cupsBitsPerPixel,
                         h.cupsColorSpace,
                         h.cupsColorOrder});
      row.resize(h.cupsBytesPerLine);
      for (unsigned y = 0; y < h.cupsHeight; ++y) {
        cupsRasterReadPixels(ras, row.data(), h.cupsBytesPerLine);
      }
    }
    if (ras != nullptr) cupsRasterClose(ras);
  }
  if (fd >= 0) close(fd);
  fs::remove(raster);
  return headers;
}

struct ChainCase {
  const char* ppd;
  std::string file;
  std::vector<std::string> options;
  size_t pages;
  const char* outputType;
  unsigned dpi;
  unsigned pageSize[2];
};

TEST(PpdChain, OptionsReachTheRasterHeader) {
  const std::string pdf = ZOVA_SAMPLE_PDF, png = ZOVA_SAMPLE_PNG, text = ZOVA_TEXT_FILE;
  const std::vector<ChainCase> cases = {
      {"zovaqrt.ppd", pdf, {}, 2, "LQ", 180, {595, 842}},
      {"zovaqrto.ppd", pdf, {}, 2, "LQ", 180, {595, 842}},
      {"zovaqrt.ppd",
       pdf,
       {"ZovaCommandSet=Native", "Resolution=360dpi", "media=Letter"},
       2,
       "Native",
       360,
       {612, 792}},
      {"zovaqrt.ppd", pdf, {"Resolution=60dpi", "PageSize=140x180mm"}, 2, "LQ", 60, {397, 510}},
      {"zovaqrt.ppd", pdf, {"media=Legal", "Resolution=120dpi"}, 2, "LQ", 120, {612, 1008}},
      // The printer makes no copies: the PDF stage upstream does.
      {"zovaqrt.ppd", pdf, {"copies=2"}, 4, "LQ", 180, {595, 842}},
      {"zovaqrt.ppd",
       png,
       {"ZovaCommandSet=Native", "Resolution=240dpi"},
       1,
       "Native",
       240,
       {595, 842}},
      {"zovaqrt.ppd", text, {"PageSize=11x15Rotated"}, 1, "LQ", 180, {1080, 792}},
      {"zovaqrt.ppd",
       text,
       {"PageSize=9.5x11", "ZovaCommandSet=Native"},
       1,
       "Native",
       180,
       {684, 792}},
      {"zovaqrt.ppd", text, {"PageSize=A5"}, 1, "LQ", 180, {420, 595}},
      {"zovaqrt.ppd", text, {"PageSize=ISOB6"}, 1, "LQ", 180, {354, 499}},
      {"zovaqrt.ppd", text, {"media=Custom.300x400"}, 1, "LQ", 180, {300, 400}},
  };
  for (const ChainCase& c : cases) {
    std::string trace = std::string(c.ppd) + " " + fs::path(c.file).filename().string();
    for (const std::string& option : c.options) trace += " -o " + option;
    SCOPED_TRACE(trace);
    std::string error;
    const std::vector<PageHeader> headers =
        RasterHeaders((fs::path(ZOVA_PPD_DIR) / c.ppd).string(), c.file, c.options, &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(headers.size(), c.pages);
    for (const PageHeader& h : headers) {
      EXPECT_EQ(h.outputType, c.outputType);
      EXPECT_EQ(h.resolution[0], c.dpi);
      EXPECT_EQ(h.resolution[1], c.dpi);
      EXPECT_EQ(h.pageSize[0], c.pageSize[0]);
      EXPECT_EQ(h.pageSize[1], c.pageSize[1]);
      EXPECT_EQ(h.bitsPerColor, 8u);
      EXPECT_EQ(h.bitsPerPixel, 24u);
      EXPECT_EQ(h.colorSpace, static_cast<unsigned>(CUPS_CSPACE_RGB));
      EXPECT_EQ(h.colorOrder, static_cast<unsigned>(CUPS_ORDER_CHUNKED));
    }
  }
}

}  // namespace
}  // namespace zova::testing
