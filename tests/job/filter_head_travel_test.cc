// ZovaHeadTravel and ZovaFormLength through the real filter: Full and Lines
// are the stream as it always was; Inked, with either form length, prints
// the same dots, read back by the preview's decoder.
#include <cmath>

#include "support/filter_test.h"
#include "support/test_pages.h"
#include "testpage/alignment_page.h"

namespace zova {
namespace {

using testing::DotDifference;
using testing::FilterResult;
using testing::SmallPage;
using testpage::PageDescription;

class FilterHeadTravel : public testing::FilterJobTest {
 protected:
  FilterResult Print(const std::string& raster, const std::string& options) const {
    FilterResult r = RunOn(raster, options);
    EXPECT_EQ(r.status, 0) << options << "\n" << r.err;
    return r;
  }

  // Every page of `inked` holds the dots of the same page of `full`.
  static void ExpectSameDots(const FilterResult& full, const FilterResult& inked) {
    ASSERT_EQ(inked.decoded.pages.size(), full.decoded.pages.size());
    for (size_t i = 0; i < full.decoded.pages.size(); ++i) {
      EXPECT_GT(full.decoded.pages[i].dot_count, 0u) << "page " << i + 1;
      EXPECT_EQ(DotDifference(full.decoded.pages[i].dots, inked.decoded.pages[i].dots), "")
          << "page " << i + 1;
    }
  }
};

// Passbook pages, 140 x 180 mm: the alignment page, a photo, text, and a
// page blank but for a dot in each corner.
std::vector<PageDescription> PassbookPages(const char* type, unsigned dpi) {
  const auto w = static_cast<unsigned>(std::lround(140 / 25.4 * dpi));
  const auto h = static_cast<unsigned>(std::lround(180 / 25.4 * dpi));
  testpage::TestPageSettings alignment;
  alignment.commandSet = type;
  alignment.dpiX = alignment.dpiY = dpi;
  PackedBitmap corners(w, h);
  for (unsigned y : {0u, h - 1}) {
    for (unsigned x : {0u, w - 1}) corners.Set(x, y);
  }
  return {SmallPage(type, dpi, dpi, w, h, testpage::TestPageRows(alignment, w, h)),
          SmallPage(type, dpi, dpi, w, h, testpage::Photo(h)),
          SmallPage(type, dpi, dpi, w, h, testpage::FromBitmap(testpage::TextBitmap(w, h, 7, dpi))),
          SmallPage(type, dpi, dpi, w, h, testpage::FromBitmap(corners))};
}

TEST_F(FilterHeadTravel, InkedPrintsTheSameDotsAtEveryResolutionInBothSets) {
  for (const char* type : {"LQ", "Native"}) {
    for (unsigned dpi : {60, 120, 180, 240, 360}) {
      SCOPED_TRACE(::testing::Message() << type << " " << dpi << " dpi");
      const std::string raster = dir.File("passbook.ras");
      ASSERT_TRUE(testpage::WriteRasterFile(raster, PassbookPages(type, dpi)));
      const FilterResult plain = Print(raster, "ZovaPrintAs=Mixed");
      if (dpi == 180) {
        EXPECT_TRUE(
            Print(raster, "ZovaPrintAs=Mixed ZovaHeadTravel=Full ZovaFormLength=Lines").out ==
            plain.out)
            << "Full and Lines are the defaults";
      }
      // The form length moves no dot: the pages are longer or shorter only.
      ExpectSameDots(plain,
                     Print(raster, "ZovaPrintAs=Mixed ZovaHeadTravel=Inked ZovaFormLength=Exact"));
    }
  }
}

TEST_F(FilterHeadTravel, OffsetsMoveTheFirstPassRightAndLeft) {
  // One dot in column 30 at 180 dpi. 2.5 mm is 17.7 dots, so 18: the dot
  // lands in column 48 or 12, 96 or 24 units of 1/360 inch right of the
  // margin, where ESC $ puts the head.
  PackedBitmap dot(200, 24);
  dot.Set(30, 0);
  const std::string raster = dir.File("dot.ras");
  ASSERT_TRUE(testpage::WriteRasterFile(
      raster, {SmallPage("LQ", 180, 180, 200, 24, testpage::FromBitmap(dot))}));
  for (const auto& [offset, move] : {std::pair{"ZovaLeftOffset=2.5", "1B 24 60 00"},
                                     std::pair{"ZovaLeftOffset=-2.5", "1B 24 18 00"}}) {
    SCOPED_TRACE(offset);
    const FilterResult inked = Print(raster, std::string(offset) + " ZovaHeadTravel=Inked");
    ExpectSameDots(Print(raster, offset), inked);
    EXPECT_NE(testing::Hex(inked.out).find(std::string(move) + " 1B 2A 27 01 00 80 00 00"),
              std::string::npos);
  }
  // A choice the PPD does not have is warned of and prints as the default.
  const FilterResult odd = Print(raster, "ZovaHeadTravel=Some ZovaFormLength=Feet");
  EXPECT_NE(odd.err.find("WARNING: Unknown ZovaHeadTravel value \"Some\"; printing with Full\n"
                         "WARNING: Unknown ZovaFormLength value \"Feet\"; printing with Lines\n"),
            std::string::npos)
      << odd.err;
  EXPECT_TRUE(odd.out == Print(raster, "").out);
}

}  // namespace
}  // namespace zova
