// The stream decoder on hand-made streams: what each command does to the
// page, and every kind of stream it must refuse, with the offset.
#include "preview/stream_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/hand_made_stream.h"
#include "support/print_job.h"
#include "support/test_pages.h"

namespace zova {
namespace {

using preview::BandGeometry;
using preview::DecodedStream;
using preview::DecodeStream;
using testing::Bytes;
using testing::Job;
using testing::kJobEnd;
using testing::kLqStart;
using testing::kNativeStart;
using testing::kPreamble;
using testing::kTopDot;
using testing::kUnit180;
using testing::LqFeed;
using testing::LqImage;
using testing::NativeImage;
using testing::PrintPage;
using testing::RandomBitmap;
using testing::operator+;

// Rows of the page that hold at least one dot.
std::vector<size_t> DottedRows(const preview::DecodedPage& page) {
  std::vector<size_t> rows;
  for (size_t y = 0; y < page.dots.height(); ++y) {
    for (size_t x = 0; x < page.dots.width(); ++x) {
      if (page.dots.Get(x, y)) {
        rows.push_back(y);
        break;
      }
    }
  }
  return rows;
}

preview::DecodedPage OnlyPage(const Bytes& stream) {
  const DecodedStream decoded = DecodeStream(stream);
  EXPECT_FALSE(decoded.error) << "byte " << decoded.error->offset << ": " << decoded.error->message;
  EXPECT_EQ(decoded.pages.size(), 1u);
  return decoded.pages.empty() ? preview::DecodedPage{} : decoded.pages[0];
}

TEST(StreamDecoderTest, EachModeHasItsDensityAndPitch) {
  const struct {
    uint8_t mode;
    BandGeometry geometry;
  } cases[] = {{0x00, {60, 180}},  {0x01, {120, 180}}, {0x03, {240, 180}}, {0x27, {180, 180}},
               {0x28, {360, 180}}, {0x29, {360, 180}}, {0x48, {360, 360}}, {0x49, {360, 360}}};
  for (const auto& c : cases) {
    const preview::DecodedPage page = OnlyPage(
        Job(kLqStart + Bytes{0x0D} + LqImage(c.mode, kTopDot + kTopDot) + Bytes{0x0C} + kJobEnd));
    EXPECT_EQ(page.geometry, c.geometry) << "mode " << int{c.mode};
    EXPECT_EQ(page.dot_count, 2u);
  }
  EXPECT_EQ(OnlyPage(Job(kNativeStart + Bytes{0x0D} + NativeImage(kTopDot) + Bytes{0x0C})).geometry,
            (BandGeometry{180, 180}));
}

TEST(StreamDecoderTest, ColumnBytesMapToPinsTopFirst) {
  const preview::DecodedPage page =
      OnlyPage(Job(kLqStart + Bytes{0x0D} + LqImage(0x27, {0x80, 0x01, 0x00, 0x00, 0x00, 0x41}) +
                   Bytes{0x0C} + kJobEnd));
  ASSERT_EQ(page.dots.width(), 2u);
  ASSERT_EQ(page.dots.height(), 24u) << "no page length set: as deep as the band";
  EXPECT_TRUE(page.dots.Get(0, 0));
  EXPECT_TRUE(page.dots.Get(0, 15));
  EXPECT_TRUE(page.dots.Get(1, 17));
  EXPECT_TRUE(page.dots.Get(1, 23));
  EXPECT_EQ(page.dot_count, 4u);
}

TEST(StreamDecoderTest, FeedsMoveInTheUnitsTheStreamSets) {
  const struct {
    const char* what;
    Bytes page;
    std::vector<size_t> rows;
  } cases[] = {
      {"ESC ( v 8 in 1/180 inch at 180 rows per inch",
       kLqStart + Bytes{0x0D} + LqImage(0x27, kTopDot) + Bytes{0x0D} + kUnit180 + LqFeed(8) +
           LqImage(0x27, kTopDot),
       {0, 8}},
      {"the same at 360 rows per inch",
       kLqStart + Bytes{0x0D} + LqImage(0x48, kTopDot) + Bytes{0x0D} + kUnit180 + LqFeed(8) +
           LqImage(0x48, kTopDot),
       {0, 16}},
      {"ESC ( U 10/3600, then 64/3600 which moves nothing",
       kLqStart + Bytes{0x1B, '(', 'U', 1, 0, 10} + LqFeed(6) + Bytes{0x1B, '(', 'U', 1, 0, 64} +
           Bytes{0x0D} + LqImage(0x27, kTopDot),
       {3}},
      {"native ESC % 5 16 is one band",
       kNativeStart + Bytes{0x0D} + NativeImage(kTopDot) + Bytes{0x0D, 0x1B, '%', '5', 16} +
           NativeImage(kTopDot),
       {0, 24}},
      {"native moves add up: 255 + 1 units",
       kNativeStart + Bytes{0x1B, '%', '5', 0xFF, 0x1B, '%', '5', 0x01, 0x0D} +
           NativeImage(kTopDot),
       {384}},
  };
  for (const auto& c : cases) {
    const bool lq = c.page[1] == '@';
    const preview::DecodedPage page =
        OnlyPage(Job(c.page + Bytes{0x0C} + (lq ? kJobEnd : Bytes{})));
    EXPECT_EQ(DottedRows(page), c.rows) << c.what;
  }
}

TEST(StreamDecoderTest, SecondPassOnTheSameLineOverprints) {
  // 120 dpi two-pass band: even bytes, then odd bytes, no feed between.
  const preview::DecodedPage page =
      OnlyPage(Job(kLqStart + Bytes{0x0D} + LqImage(0x01, {0xF0, 0x00, 0x0F}) + Bytes{0x0D} +
                   LqImage(0x01, {0x00, 0xFF, 0x00}) + Bytes{0x0C} + kJobEnd));
  EXPECT_EQ(page.dot_count, 16u);
  EXPECT_EQ(page.bands, 1u) << "both passes print on one head line";
  EXPECT_EQ(DottedRows(page),
            (std::vector<size_t>{0, 1, 2, 3, 8, 9, 10, 11, 12, 13, 14, 15, 20, 21, 22, 23}));
}

// ESC $ puts the head n units of ESC ( U (1/60 inch before one) right of
// the left margin (ESC/P); a bit image right after it prints there, on its
// dot grid, and nowhere else off the margin.
TEST(StreamDecoderTest, BitImagesPrintWhereAMovePutTheHead) {
  const Bytes unit360 = {0x1B, '(', 'U', 1, 0, 10};
  const auto move = [](uint8_t n, uint8_t h = 0) { return Bytes{0x1B, '$', n, h}; };
  const struct {
    Bytes line;
    std::vector<size_t> columns;  // of the dots; empty: refused
    size_t offset = 0;            // of the refusal, from the CR
    const char* message = "";
  } cases[] = {
      {unit360 + move(200) + LqImage(0x27, kTopDot), {100}},
      {unit360 + move(9) + LqImage(0x03, kTopDot), {6}},
      {move(5) + LqImage(0x27, kTopDot), {15}},
      {LqImage(0x27, kTopDot) + unit360 + move(40) + LqImage(0x27, kTopDot), {0, 20}},
      {unit360 + move(1) + LqImage(0x03, kTopDot), {}, 11, "between two dot columns at 240 dpi"},
      {unit360 + move(2) + Bytes{0x1B, '6'} + LqImage(0x27, kTopDot),
       {},
       13,
       "starts 20/3600 inch right of the left margin"},
      {unit360 + move(0x80, 0x16) + LqImage(0x27, kTopDot),
       {},
       7,
       "ESC $ moves the head 16.00 inches across, at or beyond the right margin"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(::testing::Message() << "case " << i);
    const auto& c = cases[i];
    const Bytes page = kLqStart + Bytes{0x0D} + c.line;
    const DecodedStream decoded = DecodeStream(Job(page + Bytes{0x0C} + kJobEnd));
    if (c.columns.empty()) {
      ASSERT_TRUE(decoded.error);
      EXPECT_EQ(decoded.error->offset, kPreamble + kLqStart.size() + c.offset);
      EXPECT_NE(decoded.error->message.find(c.message), std::string::npos)
          << decoded.error->message;
      continue;
    }
    ASSERT_EQ(decoded.pages.size(), 1u);
    std::vector<size_t> columns;
    for (size_t x = 0; x < decoded.pages[0].dots.width(); ++x) {
      if (decoded.pages[0].dots.Get(x, 0)) columns.push_back(x);
    }
    EXPECT_EQ(columns, c.columns);
  }
}

TEST(StreamDecoderTest, JobsThatEndWhereTheirDialectEnds) {
  const struct {
    const char* what;
    Bytes body;
    size_t pages;
  } cases[] = {
      {"no page: the LQ job end", kJobEnd, 0},
      {"LQ page, job end", kLqStart + Bytes{0x0C} + kJobEnd, 1},
      {"OKIDATA switch before the page", Bytes{0x1B, '{', 'A'} + kLqStart + Bytes{0x0C} + kJobEnd,
       1},
      {"native page: no job end", kNativeStart + Bytes{0x0C}, 1},
      {"native then LQ", kNativeStart + Bytes{0x0C} + kLqStart + Bytes{0x0C} + kJobEnd, 2},
  };
  for (const auto& c : cases) {
    const DecodedStream decoded = DecodeStream(Job(c.body));
    EXPECT_FALSE(decoded.error) << c.what << ": " << decoded.error->message;
    EXPECT_EQ(decoded.pages.size(), c.pages) << c.what;
  }
}

// 30 native moves of 255/120 inch and one of `last`, then a one-dot band.
Bytes BelowTheForm(uint8_t last) {
  Bytes moves;
  for (int i = 0; i < 30; ++i) moves = moves + Bytes{0x1B, '%', '5', 0xFF};
  return moves + Bytes{0x1B, '%', '5', last, 0x0D} + NativeImage(kTopDot);
}

TEST(StreamDecoderTest, PageAsLargeAsThePrinterTakesIsDrawn) {
  // 16 inches across and 64 down at 180 dpi; the last band ends on the
  // form's last row.
  const preview::DecodedPage page =
      OnlyPage(Job(kNativeStart + Bytes{0x1B, 'F', 38, 4, 0x0D} + NativeImage(Bytes(3 * 2880, 0)) +
                   BelowTheForm(14) + Bytes{0x0C}));
  EXPECT_EQ(page.dots.width(), 2880u);
  EXPECT_EQ(page.dots.height(), 11520u);
  EXPECT_EQ(DottedRows(page), std::vector<size_t>{11496});
}

TEST(StreamDecoderTest, RefusesWhatThePrinterCannotParseWithItsOffset) {
  const Bytes band = Bytes{0x0D} + LqImage(0x27, kTopDot + kTopDot);  // 12 bytes
  const struct {
    const char* what;
    Bytes stream;
    size_t offset;
    const char* message;
  } cases[] = {
      {"stream ends in the preamble", Bytes(100, 0), 100, "ends inside the preamble"},
      {"short preamble", Bytes(9000, 0) + kJobEnd, 9000, "byte 1B after 9000 NUL bytes"},
      {"unknown byte between pages", Job({0x0D}), kPreamble, "byte 0D between pages"},
      {"no job end after an LQ page", Job(kLqStart + Bytes{0x0C}), kPreamble + 5,
       "without the job end"},
      {"no job end at all", Job({}), kPreamble, "without the job end"},
      {"job end after a native page", Job(kNativeStart + Bytes{0x0C} + kJobEnd), kPreamble + 8,
       "native command set has no job end"},
      {"data after the job end", Job(kJobEnd + Bytes{0x0D}), kPreamble + 2,
       "data after the job end (ESC @ at byte 9800)"},
      {"ESC { A alone at the end", Job({0x1B, '{', 'A', 0x1B, '@'}), kPreamble,
       "ESC { A opens an LQ page"},
      {"ESC { B", Job({0x1B, '{', 'B'}), kPreamble, "ESC { 42"},
      {"stream ends inside a page", Job(kLqStart + band), kPreamble + 16,
       "ends inside page 1: no form feed"},
      {"truncated command", Job(kLqStart + Bytes{0x1B, '(', 'v', 2}), kPreamble + 4,
       "ends inside ESC ( v: 4 of its 7 bytes"},
      {"bit image cut short", Job(kLqStart + Bytes{0x0D, 0x1B, '*', 0x27, 2, 0, 0x80, 0}),
       kPreamble + 5, "ends inside ESC * (bit image): 7 of its 11 bytes"},
      {"bit image with more data than columns", Job(kLqStart + band + Bytes{0x00, 0x0C} + kJobEnd),
       kPreamble + 16, "unexpected byte 00 right after the 2-column bit image at byte 9805"},
      {"bit image with less data than columns: it swallows the next CR",
       Job(kLqStart + Bytes{0x0D, 0x1B, '*', 0x27, 2, 0, 0x80, 0, 0, 0x80, 0} + band + Bytes{0x0C} +
           kJobEnd),
       kPreamble + 16, "right of the left margin"},
      {"unknown ESC command", Job(kLqStart + Bytes{0x1B, 'J', 24}), kPreamble + 4,
       "unknown command 1B 4A"},
      {"LQ command on a native page", Job(kNativeStart + kUnit180), kPreamble + 7,
       "unknown command 1B 28"},
      {"native command on an LQ page", Job(kLqStart + Bytes{0x1B, '%', '5', 16}), kPreamble + 4,
       "unknown command 1B 25"},
      {"move without a unit", Job(kLqStart + LqFeed(8)), kPreamble + 4, "move has no unit"},
      {"unit from the page before", Job(kLqStart + kUnit180 + Bytes{0x0C} + kLqStart + LqFeed(8)),
       kPreamble + 15, "move has no unit"},
      {"unknown mode", Job(kLqStart + Bytes{0x0D} + LqImage(0x02, kTopDot)), kPreamble + 5,
       "bit-image mode 02"},
      {"page length 0", Job(kLqStart + Bytes{0x1B, 'C', 0}), kPreamble + 4,
       "ESC C with operand 00"},
      {"ESC U 5", Job(kLqStart + Bytes{0x1B, 'U', 5}), kPreamble + 4, "ESC U with operand 05"},
      {"FS x 2", Job(kLqStart + Bytes{0x1C, 'x', 2}), kPreamble + 4, "FS x with operand 02"},
      {"ESC ( U of two bytes", Job(kLqStart + Bytes{0x1B, '(', 'U', 2, 0, 20, 0}), kPreamble + 4,
       "parameter length 2, not 1"},
      {"ESC F with a units digit of 10", Job(kNativeStart + Bytes{0x1B, 'F', 7, 10}), kPreamble + 7,
       "ESC F with operand 0A"},
      {"ESC @ inside a page", Job(kLqStart + kJobEnd), kPreamble + 4, "ESC @ inside page 1"},
      {"two densities on one page",
       Job(kLqStart + band + Bytes{0x0D} + LqImage(0x01, kTopDot) + Bytes{0x0C} + kJobEnd),
       kPreamble + 17, "120x180 dpi on a page that printed at 180x180 dpi"},
      {"a page longer than the longest form", Job(kNativeStart + Bytes{0x1B, 'F', 38, 5}),
       kPreamble + 7,
       "ESC F sets a page of 385 lines (64.17 inches), longer than the longest form (64 inches)"},
      {"a band beyond the widest carriage",
       Job(kLqStart + Bytes{0x0D} + LqImage(0x00, Bytes(3 * 961, 0))), kPreamble + 5,
       "the band reaches 16.02 inches across, beyond the widest carriage (16 inches)"},
      {"a band below the longest form", Job(kNativeStart + BelowTheForm(32)), kPreamble + 132,
       "the band reaches 64.15 inches down, below the longest form (64 inches)"},
      {"the paper between two dot rows",
       Job(kNativeStart + Bytes{0x1B, '%', '5', 1, 0x0D} + NativeImage(kTopDot) + Bytes{0x0C}),
       kPreamble + 12, "between two dot rows"},
  };
  for (const auto& c : cases) {
    const DecodedStream decoded = DecodeStream(c.stream);
    ASSERT_TRUE(decoded.error) << c.what;
    EXPECT_EQ(decoded.error->offset, c.offset) << c.what << ": " << decoded.error->message;
    EXPECT_NE(decoded.error->message.find(c.message), std::string::npos)
        << c.what << ": " << decoded.error->message;
  }
}

// One byte dropped inside a band of a real page: the decoder names the spot
// where the stream stops making sense and the bit image that lost the byte.
TEST(StreamDecoderTest, DroppedByteInsideABandIsReported) {
  const PackedBitmap dots = RandomBitmap(50, 60, 0.5, 21);
  for (const char* type : {"LQ", "Native"}) {
    SCOPED_TRACE(type);
    Bytes stream = PrintPage(type, 180, 180, dots);
    // The first bit image, and where the one after it starts.
    std::vector<size_t> images;
    const uint8_t second = std::string(type) == "LQ" ? '*' : '%';
    for (size_t i = kPreamble; i + 2 < stream.size(); ++i) {
      if (stream[i] == 0x1B && stream[i + 1] == second && (second == '*' || stream[i + 2] == '1')) {
        images.push_back(i);
        i += 5 +
             3 * (second == '*' ? stream[i + 3] | stream[i + 4] << 8
                                : stream[i + 3] << 8 | stream[i + 4]) -
             1;
      }
    }
    ASSERT_GE(images.size(), 2u);
    stream.erase(stream.begin() + static_cast<long>(images[0] + 5 + 40));
    const DecodedStream decoded = DecodeStream(stream);
    ASSERT_TRUE(decoded.error);
    EXPECT_EQ(decoded.error->offset, images[1] - 1) << decoded.error->message;
    EXPECT_NE(decoded.error->message.find("bit image at byte " + std::to_string(images[0]) +
                                          " short of data"),
              std::string::npos)
        << decoded.error->message;
  }
}

}  // namespace
}  // namespace zova
