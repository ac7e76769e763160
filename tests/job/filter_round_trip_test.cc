// Whole jobs through the real filter, read back by the print preview's
// decoder: every page comes back as the 1-bit image the filter printed, the
// thresholded rows of a text page or the halftoning tool's image of a
// picture page, dot for dot.
#include "support/filter_test.h"
#include "support/test_pages.h"

namespace zova {
namespace {

using preview::BandGeometry;
using testing::BlackPixels;
using testing::DotDifference;
using testing::FilterResult;
using testing::FixtureHalftone;
using testing::Halve;
using testing::ParagraphBitmap;
using testing::SmallPage;
using testpage::PageDescription;

class FilterRoundTrip : public testing::FilterJobTest {
 protected:
  // Runs the job; page i must decode to expected[i] on the given grid.
  void ExpectPages(const std::vector<PageDescription>& pages,
                   const std::vector<PackedBitmap>& expected,
                   const std::vector<BandGeometry>& geometry) {
    const FilterResult r = Run(pages);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_FALSE(r.decoded.error);
    ASSERT_EQ(r.decoded.pages.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(::testing::Message() << "page " << i + 1);
      EXPECT_GT(expected[i].Count(), 0u) << "a page that prints something";
      EXPECT_EQ(DotDifference(expected[i], r.decoded.pages[i].dots), "");
      EXPECT_EQ(r.decoded.pages[i].dot_count, expected[i].Count());
      EXPECT_EQ(r.decoded.pages[i].geometry, geometry[i]);
    }
  }
};

PageDescription TextPage(const std::string& type, unsigned r0, unsigned r1, unsigned width,
                         unsigned height, unsigned seed) {
  return SmallPage(type, r0, r1, width, height,
                   testpage::FromBitmap(ParagraphBitmap(width, height, seed)));
}

TEST_F(FilterRoundTrip, TextPagesAt180InBothDialects) {
  // A whole A4 page, and one of odd width whose height is no multiple of 8.
  PageDescription a4 = testpage::A4Page(180, 180);
  a4.fill = testpage::FromBitmap(ParagraphBitmap(a4.width, a4.height, 41));
  for (const char* type : {"LQ", "ZOVA"}) {
    SCOPED_TRACE(type);
    a4.outputType = type;
    const PageDescription odd = TextPage(type, 180, 180, 603, 431, 42);
    ExpectPages({a4, odd}, {BlackPixels(a4), BlackPixels(odd)}, {{180, 180}, {180, 180}});
  }
}

TEST_F(FilterRoundTrip, ReducedTextPagesComeBackHalved) {
  for (const char* type : {"LQ", "N"}) {
    SCOPED_TRACE(type);
    // Odd width and height: the last column and row of the halved page
    // each come from one pixel of the page.
    const PageDescription page = SmallPage(
        type, 360, 360, 805, 613, testpage::FromBitmap(testpage::TextBitmap(805, 613, 43, 360)));
    ExpectPages({page}, {Halve(BlackPixels(page))}, {{180, 180}});
  }
}

TEST_F(FilterRoundTrip, PicturePagesComeBackAsTheToolHalftonedThem) {
  // LQ pages of 360 rows per inch are fed too far (the decoder's notes);
  // the native set takes 360x360 pictures whole.
  const struct {
    const char* type;
    unsigned r0, r1;
    BandGeometry geometry;
  } cases[] = {{"LQ", 180, 180, {180, 180}},
               {"ZOVA", 180, 180, {180, 180}},
               {"LQ", 360, 180, {360, 180}},
               {"ZOVA", 360, 360, {180, 180}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.type << " " << c.r0 << "x" << c.r1);
    std::remove(tool_log.c_str());
    const PageDescription page = SmallPage(c.type, c.r0, c.r1, 301, 211, testpage::Photo(211));
    ExpectPages({page}, {FixtureHalftone(page)}, {c.geometry});
    EXPECT_EQ(ToolCalls().size(), 1u) << "a picture page";
  }
}

TEST_F(FilterRoundTrip, JobOfMixedPages) {
  const std::vector<PageDescription> pages = {
      TextPage("LQ", 180, 180, 401, 300, 44),
      SmallPage("ZOVA", 360, 360, 402, 301,
                testpage::FromBitmap(testpage::TextBitmap(402, 301, 45, 360))),
      SmallPage("LQ", 180, 180, 150, 100, testpage::Photo(100)),
      TextPage("N", 180, 180, 99, 77, 46),
  };
  ExpectPages(pages,
              {BlackPixels(pages[0]), Halve(BlackPixels(pages[1])), FixtureHalftone(pages[2]),
               BlackPixels(pages[3])},
              {{180, 180}, {180, 180}, {180, 180}, {180, 180}});
}

}  // namespace
}  // namespace zova
