// Whole jobs through the real filter with the real zova_ID first on PATH:
// picture pages print exactly the image the tool makes of them.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/filter_test.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_pages.h"
#include "testpage/synthetic_photo.h"

namespace zova {
namespace {

using testing::Coverage;

using testing::ExpectedStream;
using testing::FilterResult;
using testing::Hex;
using testing::SmallPage;
using testpage::PageDescription;

// zova_ID's own image of the page's pixels: the PPM the filter would spool,
// halftoned by the real program in a directory of its own, told the rows'
// pitch when it is not 1/180 in.
PackedBitmap ToolImage(const PageDescription& page, int mode) {
  testing::TempDir dir;
  const std::string base = dir.File("page");
  {
    std::ofstream ppm(base + ".ppm", std::ios::binary);
    ppm << "P6\n" << page.width << " " << page.height << "\n255\n";
    std::vector<uint8_t> row(3 * size_t{page.width});
    for (unsigned y = 0; y < page.height; ++y) {
      page.fill(y, row.data(), page.width);
      ppm.write(reinterpret_cast<const char*>(row.data()), static_cast<long>(row.size()));
    }
  }
  std::vector<std::string> command = {ZOVA_ID_PATH, base, std::to_string(page.hwResolution[0]),
                                      std::to_string(mode)};
  if (page.hwResolution[1] != 180) command.push_back(std::to_string(page.hwResolution[1]));
  const testing::ProcessResult r = testing::RunProcess(testing::Command(command));
  EXPECT_EQ(r.status, 0) << r.err;

  const std::optional<PackedBitmap> dots = testpage::ReadPbmFile(base + ".pbm");
  EXPECT_TRUE(dots && dots->width() == page.width && dots->height() == page.height)
      << "zova_ID wrote no image of the page's size";
  return dots ? *dots : PackedBitmap(page.width, page.height);
}

class ZovaIdJob : public testing::FilterJobTest {
 protected:
  // The directory of the real tool, ahead of the test stand-in.
  std::map<std::string, std::string> RealToolPath() const {
    const std::string tool = ZOVA_ID_PATH;
    return {{"PATH", tool.substr(0, tool.rfind('/')) + ":" + getenv("PATH")}};
  }
};

TEST_F(ZovaIdJob, PicturePagesPrintTheToolsImage) {
  const struct {
    const char* what;
    const char* type;
    unsigned dpi;
    testpage::RowFill fill;
    int mode;  // what the page's dark ratio selects
    const char* screen;
    const char* resolution;  // as the tool reports it
  } cases[] = {
      // A photo with some shadows: dark ratio about 0.14.
      {"photo", "LQ", 180,
       [](unsigned y, uint8_t* rgb, unsigned width) {
         SyntheticPhotoRow(static_cast<int>(width), 150, static_cast<int>(y), rgb);
       },
       3, "clustered dots", "180"},
      // Pale colours only: dark ratio 0.
      {"pastel page", "N", 360,
       [](unsigned y, uint8_t* rgb, unsigned width) {
         for (unsigned x = 0; x < width; ++x) {
           rgb[3 * x] = static_cast<uint8_t>(150 + (x * 100) / width);
           rgb[3 * x + 1] = static_cast<uint8_t>(200 - y / 2);
           rgb[3 * x + 2] = 235;
         }
       },
       2, "error diffusion", "360x360"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const PageDescription page = SmallPage(c.type, c.dpi, c.dpi, 221, 150, c.fill);
    const FilterResult r = Run({page}, RealToolPath());
    ASSERT_EQ(r.status, 0) << r.err;

    const PackedBitmap dots = ToolImage(page, c.mode);
    EXPECT_GT(Coverage(dots), 0.05);
    EXPECT_LT(Coverage(dots), 0.6);
    EXPECT_EQ(Hex(r.out), Hex(ExpectedStream().PicturePage(page, dots).End()));
    // The real tool ran (the stand-in says nothing) and was content.
    EXPECT_NE(r.err.find("DEBUG: zova_ID: " + SpoolBase(1) + ".pbm 221x150 at " + c.resolution +
                         " dpi, " + c.screen + "\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("ERROR: zova_ID"), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace zova
