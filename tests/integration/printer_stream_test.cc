// The stream reader that the whole-job tests rely on: it must take a
// well-formed stream apart exactly and refuse anything else.
#include "tests/integration/printer_stream.h"

#include <gtest/gtest.h>

namespace zova::test {
namespace {

std::vector<uint8_t> Stream(const std::string& hex) {
  std::vector<uint8_t> bytes(9800, 0);
  const std::vector<uint8_t> tail = FromHex(hex);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

TEST(PrinterStream, TakesPagesApartAndRefusesUnknownBytes) {
  // LQ at 180 dpi: setup, a band of 2 columns, a feed, a band, form feed, job end.
  const PrinterStream lq =
      ParsePrinterStream(Stream("1b 40 1b 36 1c 78 30 1b 55 30 1b 32 1b 43 46 1b 33 08 "
                                "0d 1b 2a 27 02 00 80 00 00 00 00 01 "
                                "0d 1b 28 55 01 00 14 1b 28 76 02 00 18 00 1b 28 55 01 00 40 "
                                "1b 2a 28 01 00 ff ff ff 0c 1b 40"));
  EXPECT_EQ(lq.error, "");
  EXPECT_EQ(lq.preamble, 9800u);
  ASSERT_EQ(lq.pages.size(), 1u);
  EXPECT_EQ(Hex(lq.pages[0].setup), "1b 40 1b 36 1c 78 30 1b 55 30 1b 32 1b 43 46 1b 33 08");
  EXPECT_EQ(lq.pages[0].imageCommands, 2);
  EXPECT_EQ(lq.pages[0].dots, 2 + 24);
  EXPECT_EQ(lq.pages[0].modes, (std::set<uint8_t>{0x27, 0x28}));
  EXPECT_TRUE(lq.pages[0].formFeed);
  EXPECT_EQ(Hex(lq.jobEnd), "1b 40");

  // Native at 120 dpi: two pages, a two-pass band of 3 columns (9 bytes in
  // each pass).
  const PrinterStream native = ParsePrinterStream(
      Stream("1b 4e 1b 25 42 1b 36 1b 46 07 00 0d 1b 25 31 00 03 01 00 02 00 00 00 00 00 00 "
             "0d 1b 25 31 00 03 00 04 00 08 00 00 00 00 00 1b 25 35 10 0c "
             "1b 4e 1b 25 42 1b 36 1b 46 07 00 0c"));
  EXPECT_EQ(native.error, "");
  ASSERT_EQ(native.pages.size(), 2u);
  EXPECT_EQ(native.pages[0].dialect, Dialect::kNative);
  EXPECT_EQ(native.pages[0].imageCommands, 2);
  EXPECT_EQ(native.pages[0].dots, 4);
  EXPECT_EQ(native.pages[1].dots, 0);
  EXPECT_EQ(Hex(native.jobEnd), "");

  // A page cut short, data shorter than announced, and stray bytes.
  EXPECT_FALSE(ParsePrinterStream(Stream("1b 40 1b 36")).pages.at(0).formFeed);
  EXPECT_NE(ParsePrinterStream(Stream("1b 40 0d 1b 2a 27 05 00 ff 0c")).error, "");
  EXPECT_NE(ParsePrinterStream(Stream("1b 40 41 0c")).error, "");
  EXPECT_NE(ParsePrinterStream(Stream("1b 4e 1b 2a 27 01 00 00 00 00 0c")).error, "");
}

}  // namespace
}  // namespace zova::test
