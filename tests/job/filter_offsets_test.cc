// ZovaTopOffset and ZovaLeftOffset: what prints moves by the nearest whole
// dot, the same for text and pictures in both command sets; what falls off
// the top or left edge is gone; no offset changes no byte.
#include <cmath>

#include "support/filter_test.h"
#include "support/test_pages.h"

namespace zova {
namespace {

using testing::FilterResult;
using testing::SmallPage;
using testpage::PageDescription;

class FilterOffsets : public testing::FilterJobTest {};

std::string Warnings(const std::string& err) {
  std::string lines;
  for (size_t at = err.find("WARNING:"); at != std::string::npos;
       at = err.find("WARNING:", at + 1)) {
    lines += err.substr(at, err.find('\n', at) + 1 - at);
  }
  return lines;
}

// Whether `moved` is `page` moved `down` rows and `right` columns, the page
// keeping its size.
::testing::AssertionResult IsMoved(const PackedBitmap& page, const PackedBitmap& moved, long down,
                                   long right, size_t width, size_t height) {
  const auto dot = [](const PackedBitmap& b, long x, long y) {
    return x >= 0 && y >= 0 && static_cast<size_t>(x) < b.width() &&
           static_cast<size_t>(y) < b.height() &&
           b.Get(static_cast<size_t>(x), static_cast<size_t>(y));
  };
  size_t dots = 0;
  for (long y = 0; y < static_cast<long>(height); ++y) {
    for (long x = 0; x < static_cast<long>(width); ++x) {
      const bool expected = dot(page, x - right, y - down);
      dots += expected ? 1 : 0;
      if (dot(moved, x, y) != expected) {
        return ::testing::AssertionFailure()
               << "dot " << x << "," << y << " should be " << expected;
      }
    }
  }
  if (dots == 0) return ::testing::AssertionFailure() << "nothing printed";
  return ::testing::AssertionSuccess();
}

TEST_F(FilterOffsets, MoveTextAndPicturesByWholeDotsInBothCommandSets) {
  // A width that ends inside a byte, so shifts cross a partly used last byte.
  constexpr unsigned kWidth = 117, kHeight = 90;
  const auto fill = testpage::FromBitmap(testpage::TextBitmap(kWidth, kHeight, 5, 60));
  const struct {
    const char* offsets;
    double top, left;  // millimetres
    std::string warning;
  } cases[] = {
      {"ZovaTopOffset=2.5 ZovaLeftOffset=1", 2.5, 1, ""},
      {"ZovaTopOffset=-1.5 ZovaLeftOffset=-3", -1.5, -3, ""},
      {"ZovaTopOffset=0.5 ZovaLeftOffset=-10", 0.5, -10, ""},
      {"ZovaTopOffset=12 ZovaLeftOffset=x", 0, 0,
       "WARNING: Unknown ZovaTopOffset value \"12\" (millimetres from -10 to 10); printing with 0\n"
       "WARNING: Unknown ZovaLeftOffset value \"x\" (millimetres from -10 to 10); printing with "
       "0\n"},
  };
  for (const char* type : {"LQ", "Native"}) {
    // A text page, and the same strokes printed as a picture.
    const std::vector<PageDescription> pages = {SmallPage(type, 180, 180, kWidth, kHeight, fill),
                                                SmallPage(type, 180, 180, kWidth, kHeight, fill)};
    const FilterResult plain = RunWith(pages, "ZovaPrintAs=Auto");
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(plain.decoded.pages.size(), 2u);
    const FilterResult zero = RunWith(pages, "ZovaTopOffset=0 ZovaLeftOffset=0");
    EXPECT_EQ(zero.out, plain.out) << type;
    const FilterResult pictures = RunWith(pages, "ZovaPrintAs=Picture");
    ASSERT_EQ(pictures.status, 0) << pictures.err;
    ASSERT_EQ(pictures.decoded.pages.size(), 2u);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(type) + " " + c.offsets);
      // 180 dots per inch: the offsets to the nearest dot.
      const long down = std::lround(c.top / 25.4 * 180);
      const long right = std::lround(c.left / 25.4 * 180);
      for (const auto& [base, print_as] :
           {std::pair{&plain, "ZovaPrintAs=Auto"}, std::pair{&pictures, "ZovaPrintAs=Picture"}}) {
        const FilterResult r = RunWith(pages, std::string(print_as) + " " + c.offsets);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Warnings(r.err), c.warning);
        ASSERT_EQ(r.decoded.pages.size(), 2u);
        EXPECT_TRUE(IsMoved(base->decoded.pages[0].dots, r.decoded.pages[0].dots, down, right,
                            kWidth, kHeight));
      }
    }
  }
}

}  // namespace
}  // namespace zova
