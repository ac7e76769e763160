// Thresholding of text rows, full resolution and halved.
#include "binarize/binarize.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "support/memory_sink.h"

namespace zova {
namespace {

using Rgb = std::array<int, 3>;
using testing::Hex;

std::vector<uint8_t> RowOf(const std::vector<Rgb>& pixels) {
  std::vector<uint8_t> row;
  for (const Rgb& p : pixels) {
    for (int c : p) row.push_back(static_cast<uint8_t>(c));
  }
  return row;
}

// Packed output of TransToGray for a row of pixels.
std::vector<uint8_t> Full(const std::vector<Rgb>& pixels) {
  std::vector<uint8_t> row = RowOf(pixels);
  TransToGray(row.data(), static_cast<unsigned>(pixels.size()));
  row.resize((pixels.size() + 7) / 8);
  return row;
}

// Packed output of TransToGray360 for a row, its pairs and odd pixel taken
// as the pipeline computes them.
std::vector<uint8_t> Halved(const std::vector<Rgb>& pixels) {
  std::vector<uint8_t> row = RowOf(pixels);
  const int bytes_per_line = static_cast<int>(row.size());
  const int width = bytes_per_line / 6;
  const int odd = (bytes_per_line / 3) % 2;
  TransToGray360(row.data(), static_cast<unsigned>(width), odd != 0);
  row.resize(static_cast<size_t>(width + odd + 7) / 8);
  return row;
}

bool DarkFull(Rgb p) { return Full({p})[0] == 0x80; }
bool DarkHalved(Rgb p) { return Halved({p, p})[0] == 0x80; }

TEST(BinarizeTest, ThresholdsOfBothRoutines) {
  const struct {
    Rgb pixel;
    bool full, halved;
  } cases[] = {
      {{255, 255, 255}, false, false}, {{0, 0, 0}, true, true},
      {{200, 200, 200}, false, false},  // light neutral grey
      {{150, 150, 150}, true, false},   // mid grey: text at full resolution only
      {{171, 171, 171}, true, false},   // sum 513 is not above the grey bound
      {{172, 171, 171}, false, false},  // sum 514 is
      {{125, 124, 124}, true, true},    // sum 373 in the halved routine
      {{125, 125, 124}, true, false},   // sum 374
      {{230, 200, 230}, true, true},    // tinted: channels 30 apart
      {{210, 200, 210}, false, false},  // neutral within 10
      {{215, 200, 215}, true, false},   // differs by 15: coloured at full, neutral halved
      {{250, 240, 255}, false, false},  // sum 745: white in both
      {{233, 233, 234}, false, false},  // sum 700: white at full, light grey halved
      {{255, 230, 225}, false, true},   // sum 710: white at full, a tint halved
      {{255, 0, 0}, true, true},        // pure red prints
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.pixel[0] << "," << c.pixel[1] << "," << c.pixel[2]);
    EXPECT_EQ(DarkFull(c.pixel), c.full);
    EXPECT_EQ(DarkHalved(c.pixel), c.halved);
  }
}

TEST(BinarizeTest, PacksBitsAndClearsThePartialLastByte) {
  // 10 pixels: the second byte holds bits 7 and 6 and nothing else, whatever
  // the input bytes under it held.
  std::vector<Rgb> pixels(10, Rgb{255, 255, 255});
  pixels[0] = pixels[3] = pixels[8] = pixels[9] = Rgb{0, 0, 0};
  EXPECT_EQ(Hex(Full(pixels)), "90 C0");

  std::vector<Rgb> black(10, Rgb{0, 0, 0});
  EXPECT_EQ(Hex(Full(black)), "FF C0");
}

TEST(BinarizeTest, HalvedPairsPrintWhenEitherPixelIsDark) {
  // White beside black prints; two light greys do not.
  EXPECT_EQ(Hex(Halved({{255, 255, 255}, {0, 0, 0}, {200, 200, 200}, {200, 200, 200}})), "80");
  EXPECT_EQ(Hex(Halved({{0, 0, 0}, {255, 255, 255}, {0, 0, 0}, {0, 0, 0}})), "C0");
}

TEST(BinarizeTest, HalvedOddPixelStandsAlone) {
  // 5 pairs and a black odd pixel: 6 bits, the odd one bit 2.
  std::vector<Rgb> row(11, Rgb{255, 255, 255});
  row[10] = {0, 0, 0};
  EXPECT_EQ(Hex(Halved(row)), "04");

  // 8 white pairs and a black odd pixel: the odd bit starts a second byte.
  std::vector<Rgb> wide(17, Rgb{255, 255, 255});
  wide[16] = {0, 0, 0};
  EXPECT_EQ(Hex(Halved(wide)), "00 80");

  // Alone, a mid grey prints: only white is dropped for the odd pixel.
  row[10] = {150, 150, 150};
  EXPECT_EQ(Hex(Halved(row)), "04");
  row[10] = {247, 247, 246};  // sum 740
  EXPECT_EQ(Hex(Halved(row)), "00");

  // 7 pairs and the odd pixel fill one byte exactly.
  std::vector<Rgb> exact(15, Rgb{0, 0, 0});
  EXPECT_EQ(Hex(Halved(exact)), "FF");
}

}  // namespace
}  // namespace zova
