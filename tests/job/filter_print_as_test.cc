// Printing pages as text, as pictures, or region by region: the job option,
// the queue's default, and a page of text beside a photo.
#include "support/filter_test.h"
#include "support/test_pages.h"

namespace zova {
namespace {

using testing::BlackPixels;
using testing::ExpectedStream;
using testing::FilterOptions;
using testing::FilterResult;
using testing::FixtureHalftone;
using testing::Hex;
using testing::SmallPage;
using testpage::PageDescription;
using testpage::RowFill;

// A grey that the thresholds drop (a light neutral) and the stand-in tool
// screens as dots (channel sum below 600): text and picture treatment of it
// differ.
constexpr uint8_t kGrey = 180;

// A grey field with white stripes: a picture.
RowFill GreyField() {
  return [](unsigned, uint8_t* rgb, unsigned width) {
    for (unsigned x = 0; x < width; ++x) memset(rgb + 3 * x, x % 7 == 0 ? 0xFF : kGrey, 3);
  };
}

class FilterPrintAs : public testing::FilterJobTest {
 protected:
  FilterResult RunWith(const std::vector<PageDescription>& pages, const std::string& options,
                       const std::string& ppd_path = "") {
    const std::string raster = dir.File("job.ras");
    EXPECT_TRUE(testpage::WriteRasterFile(raster, pages));
    FilterOptions o = Options(raster);
    o.args[4] = options;
    if (!ppd_path.empty()) o.ppd = ppd_path;
    std::remove(tool_log.c_str());
    return testing::RunFilter(o);
  }
};

TEST_F(FilterPrintAs, ChoiceFromTheJobTheQueueOrNeither) {
  const PageDescription text =
      SmallPage("LQ", 180, 180, 40, 30, testpage::FromBitmap(testpage::TextBitmap(40, 30, 3, 60)));
  const PageDescription picture = SmallPage("LQ", 180, 180, 40, 30, GreyField());
  const std::string queue_picture =
      testing::WriteTestPpd(dir.path(), "picture.ppd", {.printAsDefault = "Picture"});
  const std::string unknown = "WARNING: Unknown ZovaPrintAs value \"Photo\"; printing as Auto\n";
  const struct {
    std::string ppd, options;
    bool text_halftoned, picture_halftoned;
    std::string warning;
  } cases[] = {
      {"", "", false, true, ""},  // a PPD from before the option: Auto
      {"", "ZovaPrintAs=Text", false, false, ""},
      {"", "copies=1 ZovaPrintAs=Picture", true, true, ""},
      {queue_picture, "", true, true, ""},
      {queue_picture, "ZovaPrintAs=Auto", false, true, ""},
      {"", "ZovaPrintAs=Photo", false, true, unknown},
      {queue_picture, "ZovaPrintAs=Photo", false, true, unknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options + (c.ppd.empty() ? "" : ", queue default Picture"));
    const FilterResult r = RunWith({text, picture}, c.options, c.ppd);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("WARNING:") == std::string::npos, c.warning.empty()) << r.err;
    if (!c.warning.empty()) {
      EXPECT_EQ(r.err.substr(0, c.warning.size()), c.warning);
    }
    std::vector<std::string> calls;
    ExpectedStream expected;
    if (c.text_halftoned) {
      expected.PicturePage(text, FixtureHalftone(text));
      calls.push_back(SpoolBase(1) + " 180 3");  // its dark share picks the clustered screen
    } else {
      expected.TextPage(text, BlackPixels(text));
    }
    if (c.picture_halftoned) {
      expected.PicturePage(picture, FixtureHalftone(picture));
      calls.push_back(SpoolBase(2) + " 180 2");
    } else {
      // The stripes' white prints nothing; the light grey is dropped too.
      expected.TextPage(picture, PackedBitmap(picture.width, picture.height));
    }
    EXPECT_EQ(Hex(r.out), Hex(expected.End()));
    EXPECT_EQ(ToolCalls(), calls);
  }
}

// Black text with a few light grey pixels about it in the first 64 printed
// columns (two regions), the grey field in the next 96, and a black stroke
// across the region edge between them. A 360x360 page prints at half size.
PageDescription TextBesidePicture(const char* type, unsigned r0, unsigned r1) {
  const unsigned scale = r0 == 360 && r1 == 360 ? 2 : 1;
  const unsigned split = 64 * scale;
  const PackedBitmap glyphs = testpage::TextBitmap(split, 60 * scale, 5, 60);
  return SmallPage(type, r0, r1, 160 * scale, 60 * scale,
                   [glyphs, split, scale](unsigned y, uint8_t* rgb, unsigned w) {
                     GreyField()(y, rgb, w);
                     for (unsigned x = 0; x < split; ++x) {
                       const bool dot = glyphs.Get(x, y);
                       memset(rgb + 3 * x, dot ? 0 : (x + y) % 17 == 0 ? kGrey : 0xFF, 3);
                     }
                     if (y >= 4 * scale && y < 16 * scale) {
                       memset(rgb + 3 * (split - 8 * scale), 0, 3 * 16 * scale);
                     }
                   });
}

// The columns [from, to) of the first `rows` rows of a decoded page.
std::string Columns(const PackedBitmap& page, size_t from, size_t to, size_t rows) {
  std::string dots;
  for (size_t y = 0; y < rows; ++y) {
    for (size_t x = from; x < to; ++x) dots += x < page.width() && page.Get(x, y) ? 'X' : '.';
    dots += '\n';
  }
  return dots;
}

TEST_F(FilterPrintAs, MixedPagePrintsTextThresholdedAndPicturesHalftoned) {
  // The native set at 120 dpi: the preview draws LQ at 120 dpi back only
  // band by band.
  const struct {
    const char* type;
    unsigned dpi;
    const char* arguments;  // the tool is told rows 1/360 inch apart, not these
  } cases[] = {{"LQ", 180, " 180 2"}, {"N", 120, " 120 2"}};
  for (const auto& [type, dpi, arguments] : cases) {
    SCOPED_TRACE(dpi);
    const PageDescription page = TextBesidePicture(type, dpi, dpi);
    const unsigned split = 64;
    const FilterResult mixed = RunWith({page}, "ZovaPrintAs=Mixed");
    ASSERT_EQ(mixed.status, 0) << mixed.err;
    EXPECT_EQ(ToolCalls(), std::vector<std::string>{SpoolBase(1) + arguments});
    const FilterResult text = RunWith({page}, "ZovaPrintAs=Text");
    const FilterResult picture = RunWith({page}, "ZovaPrintAs=Picture");
    ASSERT_EQ(mixed.decoded.pages.size(), 1u);
    ASSERT_EQ(text.decoded.pages.size(), 1u);
    ASSERT_EQ(picture.decoded.pages.size(), 1u);
    const PackedBitmap& dots = mixed.decoded.pages[0].dots;
    EXPECT_EQ(Columns(dots, 0, split, page.height),
              Columns(text.decoded.pages[0].dots, 0, split, page.height));
    EXPECT_EQ(Columns(dots, split, page.width, page.height),
              Columns(picture.decoded.pages[0].dots, split, page.width, page.height));
    // The stroke across the edge prints whole, on both sides of it.
    for (unsigned x = split - 8; x < split + 8; ++x) {
      for (unsigned y = 4; y < 16; ++y) EXPECT_TRUE(dots.Get(x, y)) << x << "," << y;
    }
  }
}

TEST_F(FilterPrintAs, MixedAt360PrintsAt180WithPicturesFromThePageAveraged) {
  const PageDescription page = TextBesidePicture("LQ", 360, 360);
  const FilterResult mixed = RunWith({page}, "ZovaPrintAs=Mixed");
  ASSERT_EQ(mixed.status, 0) << mixed.err;
  EXPECT_EQ(ToolCalls(), std::vector<std::string>{SpoolBase(1) + "h 180 2"});
  EXPECT_EQ(mixed.err.find("cCommand"), std::string::npos) << "every spool file removed cleanly";
  const FilterResult text = RunWith({page}, "ZovaPrintAs=Text");
  ASSERT_EQ(mixed.decoded.pages.size(), 1u);
  ASSERT_EQ(text.decoded.pages.size(), 1u);
  EXPECT_EQ(mixed.decoded.pages[0].geometry, text.decoded.pages[0].geometry) << "both at 180x180";
  // The picture: the page averaged 2x2, screened by the stand-in tool.
  PackedBitmap averaged((page.width + 1) / 2, (page.height + 1) / 2);
  std::vector<uint8_t> a(3 * page.width), b(3 * page.width);
  for (unsigned y = 0; y < averaged.height(); ++y) {
    page.fill(2 * y, a.data(), page.width);
    page.fill(2 * y + 1, b.data(), page.width);
    for (unsigned x = 0; x < averaged.width(); ++x) {
      unsigned sum = 0;
      for (unsigned c = 0; c < 3; ++c) {
        sum += (a[6 * x + c] + a[6 * x + 3 + c] + b[6 * x + c] + b[6 * x + 3 + c] + 2) / 4;
      }
      averaged.Set(x, y, sum < 600);
    }
  }
  PackedBitmap expected(averaged.width(), averaged.height());
  for (unsigned y = 0; y < averaged.height(); ++y) {
    for (unsigned x = 0; x < averaged.width(); ++x) {
      if (averaged.Get(x, y)) expected.Set(x, y);
    }
  }
  const PackedBitmap& dots = mixed.decoded.pages[0].dots;
  EXPECT_EQ(Columns(dots, 0, 64, averaged.height()),
            Columns(text.decoded.pages[0].dots, 0, 64, averaged.height()));
  EXPECT_EQ(Columns(dots, 64, averaged.width(), averaged.height()),
            Columns(expected, 64, averaged.width(), averaged.height()));
}

TEST_F(FilterPrintAs, MixedPageOfOneKindPrintsAsThatKind) {
  // All text: byte for byte the page Auto prints. No text: the picture page.
  const PageDescription text =
      SmallPage("N", 360, 360, 80, 50, testpage::FromBitmap(testpage::TextBitmap(80, 50, 9, 60)));
  const PageDescription picture = SmallPage("LQ", 360, 360, 80, 50, GreyField());
  const FilterResult mixed = RunWith({text, picture}, "ZovaPrintAs=Mixed");
  ASSERT_EQ(mixed.status, 0) << mixed.err;
  EXPECT_EQ(Hex(mixed.out), Hex(ExpectedStream()
                                    .ReducedPage(text, testing::Halve(BlackPixels(text)))
                                    .PicturePage(picture, FixtureHalftone(picture))
                                    .End()));
  EXPECT_EQ(Hex(mixed.out), Hex(RunWith({text, picture}, "").out));
}

}  // namespace
}  // namespace zova
