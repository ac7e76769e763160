// Pages printed region by region: which regions are text and which are
// pictures, and a printed row composed of both.
#include "pipeline/region_map.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace zova {
namespace {

using Pixel = std::array<uint8_t, 3>;
constexpr Pixel kWhite{255, 255, 255}, kBlack{0, 0, 0}, kMidGrey{128, 128, 128},
    kLightGrey{200, 200, 200}, kDarkRed{150, 0, 0};

// A region's pixel at (x, y) within it.
using Content = std::function<Pixel(unsigned x, unsigned y)>;
const Content kBlank = [](unsigned, unsigned) { return kWhite; };
// Strokes of text: three black columns of 32.
const Content kStrokes = [](unsigned x, unsigned) {
  return x == 4 || x == 5 || x == 20 ? kBlack : kWhite;
};
// Strokes with a light grey rule: few tones, fewer than the strokes.
const Content kStrokesAndRule = [](unsigned x, unsigned) {
  return x == 4 || x == 20 ? kBlack : x == 10 ? kLightGrey : kWhite;
};
const Content kPhoto = [](unsigned, unsigned) { return kMidGrey; };
const Content kShadow = [](unsigned, unsigned) { return kDarkRed; };
// A heavy dark mass on paper: 13 of 32 columns black.
const Content kMass = [](unsigned x, unsigned) { return x < 13 ? kBlack : kWhite; };

// Counts a page of 4 x 2 regions of 32 x 24 pixels.
RegionMap Classify(const std::vector<std::vector<Content>>& bands, DarkCount* page) {
  const unsigned width = 128, height = 48;
  RegionCounter counter(width, height, 1);
  std::vector<uint8_t> row(3 * width);
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < width; ++x) {
      const Pixel p = bands[y / 24][x / 32](x % 32, y % 24);
      std::copy(p.begin(), p.end(), row.begin() + 3 * x);
    }
    counter.AddRow(row.data());
  }
  *page = counter.PageCount();
  return counter.Classify();
}

TEST(RegionMapTest, StrokesOnPaperAreTextTonesAndMassesBesideThemArePictures) {
  DarkCount page;
  const RegionMap map = Classify(
      {{kBlank, kStrokes, kPhoto, kMass}, {kMass, kBlank, kStrokesAndRule, kShadow}}, &page);
  ASSERT_EQ(map.columns(), 4u);
  ASSERT_EQ(map.bands(), 2u);
  // The mass beside the photo is its shadow; the one among text is text.
  const bool text[2][4] = {{true, true, false, false}, {true, true, true, false}};
  for (unsigned band = 0; band < 2; ++band) {
    for (unsigned region = 0; region < 4; ++region) {
      EXPECT_EQ(map.IsText(band, region), text[band][region]) << band << "," << region;
    }
  }
  EXPECT_TRUE(map.anyText);
  EXPECT_TRUE(map.anyPicture);
  // The pictures' own pixels choose their screen: the photo (768 tones, none
  // dark), the mass beside it (312 black) and the dark red (768 dark).
  EXPECT_EQ(map.pictureCount.iHis, 312 + 768);
  EXPECT_EQ(map.pictureCount.iTotal, 768 + 312 + 768);
  // The page's count covers every region: strokes 72 + 48, the rule 24, two
  // masses 624, the photo 768 and the dark red 768.
  EXPECT_EQ(page.iHis, 72 + 48 + 624 + 768);
  EXPECT_EQ(page.iTotal, 72 + 48 + 24 + 624 + 768 + 768);
}

TEST(RegionMapTest, OnlyTextOrOnlyPicturesAndSolidInk) {
  DarkCount page;
  const RegionMap text =
      Classify({{kStrokes, kBlank, kBlank, kStrokes}, {kBlank, kBlank, kBlank, kBlank}}, &page);
  EXPECT_TRUE(text.anyText);
  EXPECT_FALSE(text.anyPicture);
  const Content solid = [](unsigned, unsigned) { return kBlack; };
  const RegionMap pictures =
      Classify({{kBlank, kPhoto, kBlank, kBlank}, {kBlank, kBlank, solid, kBlank}}, &page);
  EXPECT_FALSE(pictures.anyText) << "blank regions hold no text";
  EXPECT_FALSE(pictures.IsText(1, 2)) << "ink without paper is a picture";

  // On a page printed at half its resolution a region covers twice the
  // raster pixels each way.
  RegionCounter halved(64, 48, 2);
  std::vector<uint8_t> row(3 * 64, 0);
  for (int y = 0; y < 48; ++y) halved.AddRow(row.data());
  const RegionMap one = halved.Classify();
  EXPECT_EQ(one.columns(), 1u);
  EXPECT_EQ(one.bands(), 1u);
  EXPECT_FALSE(one.IsText(0, 0));
}

TEST(RegionMapTest, ComposedRowTakesEachRegionFromItsSource) {
  RegionMap map(3, 1, 32);
  map.SetPicture(0, 1);
  const std::vector<uint8_t> text(12, 0xAA), picture(12, 0x55);
  std::vector<uint8_t> out(10, 0);
  // Ten bytes: the last region is cut at the row's end.
  ComposeRow(map, 0, text.data(), picture.data(), out.size(), out.data());
  EXPECT_EQ(out,
            (std::vector<uint8_t>{0xAA, 0xAA, 0xAA, 0xAA, 0x55, 0x55, 0x55, 0x55, 0xAA, 0xAA}));
}

}  // namespace
}  // namespace zova
