// Round trips: 1-bit pages printed by the output routines and read back by
// the stream decoder must come back dot for dot.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preview/stream_decoder.h"
#include "support/print_job.h"
#include "support/test_pages.h"

namespace zova {
namespace {

using preview::BandGeometry;
using preview::DecodedStream;
using preview::DecodeStream;
using preview::Dialect;
using testing::DotDifference;
using testing::ParagraphBitmap;
using testing::PrintJob;
using testing::PrintPage;
using testing::RandomBitmap;
using testpage::TextBitmap;

struct Mode {
  const char* output_type;
  unsigned r0, r1;
  BandGeometry geometry;  // as the decoder reads the stream
};

struct NamedPage {
  const char* name;
  PackedBitmap dots;
};

// Pages with odd widths, heights that are no multiple of 8 or 24, runs of
// blank bands, blank right edges, and a blank page.
std::vector<NamedPage> AssortedPages() {
  PackedBitmap islands(203, 301);
  for (unsigned y : {0, 1, 23, 24, 31, 32, 47, 130, 131, 299, 300}) {
    for (unsigned x = y % 5; x < 150; x += 1 + y % 3) islands.Set(x, y, 1);
  }
  PackedBitmap solid(17, 53);
  for (unsigned y = 0; y < 53; ++y) {
    for (unsigned x = 0; x < 17; ++x) solid.Set(x, y);
  }
  return {
      {"paragraphs 601x467", ParagraphBitmap(601, 467, 1)},
      {"paragraphs 1000x400", ParagraphBitmap(1000, 400, 2)},
      {"random 37x77", RandomBitmap(37, 77, 0.5, 3)},
      {"sparse random 255x100", RandomBitmap(255, 100, 0.02, 4)},
      {"random 1x29", RandomBitmap(1, 29, 0.6, 5)},
      {"random 8x5", RandomBitmap(8, 5, 0.7, 6)},
      {"islands between blank bands 203x301", islands},
      {"solid 17x53", solid},
      {"blank 40x50", PackedBitmap(40, 50)},
  };
}

void ExpectRoundTrip(const Mode& mode, const NamedPage& page) {
  SCOPED_TRACE(::testing::Message()
               << mode.output_type << " " << mode.r0 << "x" << mode.r1 << ", " << page.name);
  const DecodedStream decoded =
      DecodeStream(PrintPage(mode.output_type, mode.r0, mode.r1, page.dots));
  ASSERT_FALSE(decoded.error) << "byte " << decoded.error->offset << ": " << decoded.error->message;
  ASSERT_EQ(decoded.pages.size(), 1u);
  const preview::DecodedPage& result = decoded.pages[0];
  EXPECT_EQ(result.dialect,
            std::string(mode.output_type) == "LQ" ? Dialect::kLq : Dialect::kNative);
  EXPECT_EQ(DotDifference(page.dots, result.dots), "");
  const size_t dots = page.dots.Count();
  EXPECT_EQ(result.dot_count, dots);
  if (dots > 0) {
    EXPECT_EQ(result.geometry, mode.geometry);
  }
}

TEST(RoundTripTest, ShingledLqAndNativePagesComeBackDotForDot) {
  const Mode modes[] = {
      {"LQ", 180, 180, {180, 180}},     {"LQ", 360, 180, {360, 180}},
      {"Native", 60, 60, {180, 180}},   {"Native", 120, 120, {180, 180}},
      {"Native", 180, 180, {180, 180}}, {"Native", 240, 240, {180, 180}},
      {"Native", 360, 360, {180, 180}},
  };
  const std::vector<NamedPage> pages = AssortedPages();
  for (const Mode& mode : modes) {
    for (const NamedPage& page : pages) ExpectRoundTrip(mode, page);
  }
}

// Without shingling the LQ stream feeds 8/180 inch per 24-dot band (see the
// decoder's notes), so only a page that fits one band comes back.
TEST(RoundTripTest, UnshingledLqPagesOfOneBandComeBackDotForDot) {
  const Mode modes[] = {
      {"LQ", 60, 60, {60, 180}}, {"LQ", 120, 120, {120, 180}}, {"LQ", 240, 240, {240, 180}}};
  const NamedPage pages[] = {
      {"random 37x24", RandomBitmap(37, 24, 0.5, 7)},   {"random 1x1", RandomBitmap(1, 1, 1.0, 8)},
      {"random 250x17", RandomBitmap(250, 17, 0.3, 9)}, {"text 301x24", TextBitmap(301, 24, 10)},
      {"sparse 99x23", RandomBitmap(99, 23, 0.01, 11)},
  };
  for (const Mode& mode : modes) {
    for (const NamedPage& page : pages) ExpectRoundTrip(mode, page);
  }
}

// With 360 rows per inch the second pass buffer is fed too far (see the
// decoder's notes); the first 8-row group comes back.
TEST(RoundTripTest, LqPagesAt360RowsPerInchComeBackInTheirFirstGroup) {
  const Mode modes[] = {{"LQ", 360, 360, {360, 360}}, {"LQ", 180, 360, {180, 180}}};
  const NamedPage pages[] = {
      {"random 41x8", RandomBitmap(41, 8, 0.5, 12)},
      {"random 600x3", RandomBitmap(600, 3, 0.2, 13)},
  };
  for (const Mode& mode : modes) {
    for (const NamedPage& page : pages) ExpectRoundTrip(mode, page);
  }
}

TEST(RoundTripTest, JobOfSeveralPagesInBothDialects) {
  const PackedBitmap a = ParagraphBitmap(333, 250, 14);
  const PackedBitmap b = RandomBitmap(77, 61, 0.4, 15);
  const PackedBitmap c = RandomBitmap(129, 100, 0.1, 16);
  for (const char* last : {"LQ", "Native"}) {
    SCOPED_TRACE(::testing::Message() << "last page " << last);
    const DecodedStream decoded =
        DecodeStream(PrintJob({{"LQ", 180, 180, a}, {"Native", 180, 180, b}, {last, 360, 180, c}}));
    ASSERT_FALSE(decoded.error) << "byte " << decoded.error->offset << ": "
                                << decoded.error->message;
    ASSERT_EQ(decoded.pages.size(), 3u);
    EXPECT_EQ(DotDifference(a, decoded.pages[0].dots), "");
    EXPECT_EQ(DotDifference(b, decoded.pages[1].dots), "");
    EXPECT_EQ(DotDifference(c, decoded.pages[2].dots), "");
  }
}

// Each page is as long as its header's PageSize (A4: 70 lines of 1/6 inch).
TEST(RoundTripTest, PageLengthComesFromThePageSetup) {
  const PackedBitmap dots = RandomBitmap(10, 30, 0.5, 17);
  const struct {
    const char* type;
    unsigned r0, r1;
    size_t rows;
  } cases[] = {{"LQ", 180, 180, 2100}, {"LQ", 360, 360, 4200}, {"Native", 180, 180, 2100}};
  for (const auto& c : cases) {
    const DecodedStream decoded = DecodeStream(PrintPage(c.type, c.r0, c.r1, dots));
    ASSERT_EQ(decoded.pages.size(), 1u) << c.type << " " << c.r0 << "x" << c.r1;
    EXPECT_EQ(decoded.pages[0].dots.height(), c.rows) << c.type << " " << c.r0 << "x" << c.r1;
  }
}

}  // namespace
}  // namespace zova
