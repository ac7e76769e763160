// Flat greys as whole jobs: CUPS raster through the real filter with the
// model's PPD and the real zova_ID, printed in simulation as discs on paper.
// Each field must print the lightness of its grey.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "print_model/printed_dots.h"
#include "support/filter_test.h"
#include "support/process.h"
#include "support/test_pages.h"

namespace zova {
namespace {

using testing::Coverage;
using testing::ExpectedStream;
using testing::FilterResult;

// sRGB decoding and CIE 1976 L* with the paper as white, from the textbook
// formulas; a grey's luminance is its linear value.
double LinearLight(int srgb) {
  const double v = srgb / 255.0;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
double Lightness(double luminance) {
  return luminance > 216.0 / 24389 ? 116 * std::cbrt(luminance) - 16 : luminance * 24389 / 27;
}

constexpr int kSize = 320;   // cells each way
constexpr int kMargin = 32;  // cells left out at each edge when measuring

size_t DotCount(const PackedBitmap& dots) {
  size_t n = 0;
  for (size_t y = 0; y < dots.height(); ++y) {
    for (size_t x = 0; x < dots.width(); ++x) n += dots.Get(x, y);
  }
  return n;
}

struct Pitch {
  int x, y;
};

class FlatFieldToneTest : public testing::FilterJobTest {
 protected:
  // The dots a flat grey page prints as a picture. Where rows are 1/180 in
  // apart they are the printer stream read back by the decoder. With 360 rows
  // per inch the stream's feeds fit no single pitch (the decoder's notes, an
  // open question for the printer), so there they are zova_ID's own image of
  // the page, which the stream must carry byte for byte.
  PackedBitmap PrintedDots(Pitch pitch, int grey) {
    const auto value = static_cast<uint8_t>(grey);
    const testpage::PageDescription page =
        testing::SmallPage("LQ", unsigned(pitch.x), unsigned(pitch.y), kSize, kSize,
                           testpage::Solid(value, value, value));
    const std::string raster = dir.File("job.ras");
    EXPECT_TRUE(testpage::WriteRasterFile(raster, {page}));
    testing::FilterOptions o = Options(raster);
    o.ppd = std::string(ZOVA_PPD_DIR) + "/zovaqrt.ppd";
    o.args[4] = "ZovaPrintAs=Picture";
    const std::string tool = ZOVA_ID_PATH;
    o.env["PATH"] = tool.substr(0, tool.rfind('/')) + ":" + getenv("PATH");
    const FilterResult r = testing::RunFilter(o);
    EXPECT_EQ(r.status, 0) << r.err;
    // A flat page below a channel sum of 301 is all dark: the clustered
    // screen. A lighter one has no dark pixel: error diffusion. (White has
    // no pixel to count at all, and no dot to print with either screen.)
    const int mode = 3 * grey < 301 ? 3 : 2;
    if (grey != 255) {
      EXPECT_NE(r.err.find(mode == 3 ? " dpi, clustered dots\n" : " dpi, error diffusion\n"),
                std::string::npos)
          << r.err;
    }
    if (pitch.y == 180) {
      if (r.decoded.pages.size() != 1) {
        ADD_FAILURE() << r.decoded.pages.size() << " pages decoded";
        return PackedBitmap(kSize, kSize);
      }
      const preview::DecodedPage& printed = r.decoded.pages[0];
      if (printed.bands > 0) {
        EXPECT_EQ(printed.geometry, (preview::BandGeometry{unsigned(pitch.x), unsigned(pitch.y)}));
      }
      return printed.dots;
    }
    const PackedBitmap dots = ToolImage(pitch, grey, mode);
    EXPECT_TRUE(r.out == ExpectedStream().PicturePage(page, dots).End())
        << "the printer stream is not zova_ID's image of the page";
    return dots;
  }

  // zova_ID run on the page's pixels as the filter spools them.
  PackedBitmap ToolImage(Pitch pitch, int grey, int mode) {
    const std::string base = dir.File("field");
    std::ofstream(base + ".ppm", std::ios::binary) << "P6\n"
                                                   << kSize << " " << kSize << "\n255\n"
                                                   << std::string(3 * kSize * kSize, char(grey));
    const testing::ProcessResult r =
        testing::RunProcess(testing::Command({ZOVA_ID_PATH, base, std::to_string(pitch.x),
                                              std::to_string(mode), std::to_string(pitch.y)}));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::optional<PackedBitmap> dots = testpage::ReadPbmFile(base + ".pbm");
    EXPECT_TRUE(dots) << "zova_ID wrote no image";
    return dots ? *dots : PackedBitmap(kSize, kSize);
  }
};

TEST_F(FlatFieldToneTest, GreysPrintTheirLightness) {
  // 5 % to 95 % grey in steps of 10 (sRGB round(255 (1 - p / 100))): the L*
  // of the light the paper reflects away from the field's edges against the
  // grey's own. Each tolerance is a little above the worst |dL*| measured:
  // 0.55 at 180x180 (grey 13), 0.15 at 360x180 (grey 64), 0.57 at 360x360
  // (grey 64), all on the clustered screen, whose levels are up to 0.7 L*
  // apart; error diffusion stays within 0.08.
  const struct {
    Pitch pitch;
    double tolerance;
  } cases[] = {{{180, 180}, 0.7}, {{360, 180}, 0.3}, {{360, 360}, 0.7}};
  for (const auto& c : cases) {
    for (int percent = 5; percent <= 95; percent += 10) {
      const int grey = static_cast<int>(std::lround(255 * (1 - percent / 100.0)));
      SCOPED_TRACE(::testing::Message() << c.pitch.x << "x" << c.pitch.y << " dpi, grey " << grey);
      const PackedBitmap dots = PrintedDots(c.pitch, grey);
      constexpr int kEnd = kSize - kMargin;
      const double printed = Lightness(
          bench::DrawDots(dots, {c.pitch.x, c.pitch.y}, {kMargin, kMargin, kEnd, kEnd}).Mean());
      const double wanted = Lightness(LinearLight(grey));
      EXPECT_NEAR(printed, wanted, c.tolerance);
    }
  }
}

TEST_F(FlatFieldToneTest, WhitePrintsNoDotAndBlackPrintsSolid) {
  for (const Pitch pitch : {Pitch{180, 180}, Pitch{360, 180}, Pitch{360, 360}}) {
    SCOPED_TRACE(::testing::Message() << pitch.x << "x" << pitch.y << " dpi");
    const PackedBitmap white = PrintedDots(pitch, 255);
    EXPECT_EQ(DotCount(white), 0u);
    const PackedBitmap black = PrintedDots(pitch, 0);
    ASSERT_GE(black.width(), size_t{kSize});
    ASSERT_GE(black.height(), size_t{kSize});
    EXPECT_EQ(Coverage(black, 0, kSize, 0, kSize), 1.0);
    EXPECT_EQ(DotCount(black), size_t{kSize * kSize}) << "dots beyond the field";
  }
}

}  // namespace
}  // namespace zova
