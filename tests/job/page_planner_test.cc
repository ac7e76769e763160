// The page plan: what a page prints as, through which screen, at which
// resolution, and how its bands go, from the job's choice and the page's
// counts. Expectations follow the printer's rules as its manual states them,
// case by case.
#include "pipeline/page_planner.h"

#include <gtest/gtest.h>

#include <cmath>

#include "dotmatrix/printer_models.h"

namespace zova {
namespace {

constexpr double kText = 0.9;     // most non-white pixels dark
constexpr double kPicture = 0.2;  // a picture with mid-tones
constexpr double kLight = 0.05;   // a very light picture
constexpr double kBlank = NAN;    // a page without ink: 0/0

RegionMap Regions(bool text, bool picture, double picture_ratio = 0.2) {
  RegionMap map(1, 1, 32);
  map.anyText = text;
  map.anyPicture = picture;
  map.pictureCount = {static_cast<long long>(picture_ratio * 1000), 1000};
  return map;
}

TEST(PagePlannerTest, DecidesTheRowsTheScreenAndTheBandsOnce) {
  struct Case {
    const char* name;
    CommandSetId set;
    Resolution dpi;
    PrintAs as;
    double ratio;
    RegionMap regions;
    // Expected:
    PageClass page;
    DitherMode screen;
    bool reduced, averaged;
    Resolution band;
    unsigned columns, rows;
    bool shingled, two_passes;
    std::array<unsigned, 2> feed;
  };
  const RegionMap none;
  const auto lq = CommandSetId::kLq;
  const auto native = CommandSetId::kNative;
  const auto ordered = DitherMode::kOrdered;
  const auto diffusion = DitherMode::kErrorDiffusion;
  // clang-format off
  const Case cases[] = {
      // Auto: the dark ratio decides; 360x360 text prints at 180x180.
      {"text 180", lq, {180, 180}, PrintAs::kAuto, kText, none, PageClass::kText, ordered, false, false, {180, 180}, 101, 51, true, false, {1, 2}},
      {"text 360x360", lq, {360, 360}, PrintAs::kAuto, kText, none, PageClass::kText, ordered, true, false, {180, 180}, 51, 26, true, false, {1, 2}},
      {"photo 360x360", lq, {360, 360}, PrintAs::kAuto, kPicture, none, PageClass::kPicture, ordered, false, false, {360, 360}, 101, 51, true, false, {1, 5}},
      {"light photo", lq, {180, 180}, PrintAs::kAuto, kLight, none, PageClass::kPicture, diffusion, false, false, {180, 180}, 101, 51, true, false, {1, 2}},
      {"blank page", lq, {180, 180}, PrintAs::kAuto, kBlank, none, PageClass::kText, ordered, false, false, {180, 180}, 101, 51, true, false, {1, 2}},
      {"ratio 0.3", lq, {180, 180}, PrintAs::kAuto, 0.3, none, PageClass::kText, ordered, false, false, {180, 180}, 101, 51, true, false, {1, 2}},
      {"ratio 0.1", lq, {180, 180}, PrintAs::kAuto, 0.1, none, PageClass::kPicture, ordered, false, false, {180, 180}, 101, 51, true, false, {1, 2}},
      // The job's choice over the content.
      {"Text on a photo", lq, {180, 180}, PrintAs::kText, kLight, none, PageClass::kText, ordered, false, false, {180, 180}, 101, 51, true, false, {1, 2}},
      {"Picture on text", lq, {180, 180}, PrintAs::kPicture, kText, none, PageClass::kPicture, ordered, false, false, {180, 180}, 101, 51, true, false, {1, 2}},
      {"Picture, light", native, {180, 180}, PrintAs::kPicture, kLight, none, PageClass::kPicture, diffusion, false, false, {180, 180}, 101, 51, false, false, {1, 1}},
      // Mixed: by region; all text or all pictures print as one kind.
      {"Mixed, text only", lq, {180, 180}, PrintAs::kMixed, kPicture, Regions(true, false), PageClass::kText, ordered, false, false, {180, 180}, 101, 51, true, false, {1, 2}},
      {"Mixed, pictures only", lq, {180, 180}, PrintAs::kMixed, kText, Regions(false, true), PageClass::kPicture, ordered, false, false, {180, 180}, 101, 51, true, false, {1, 2}},
      {"Mixed, both", lq, {180, 180}, PrintAs::kMixed, kText, Regions(true, true, 0.05), PageClass::kMixed, diffusion, false, false, {180, 180}, 101, 51, true, false, {1, 2}},
      {"Mixed 360x360", lq, {360, 360}, PrintAs::kMixed, kText, Regions(true, true), PageClass::kMixed, ordered, true, true, {180, 180}, 51, 26, true, false, {1, 2}},
      // The command set's bands: shingled at 180 and 360 dpi across in LQ,
      // two passes at 120 and 240, never shingled in the native set.
      {"LQ 120", lq, {120, 120}, PrintAs::kAuto, kText, none, PageClass::kText, ordered, false, false, {120, 120}, 101, 51, false, true, {1, 1}},
      {"LQ 240", lq, {240, 240}, PrintAs::kAuto, kText, none, PageClass::kText, ordered, false, false, {240, 240}, 101, 51, false, true, {1, 1}},
      {"LQ 360x180", lq, {360, 180}, PrintAs::kAuto, kText, none, PageClass::kText, ordered, false, false, {360, 180}, 101, 51, true, false, {1, 2}},
      {"LQ 180x360", lq, {180, 360}, PrintAs::kAuto, kText, none, PageClass::kText, ordered, false, false, {180, 360}, 101, 51, true, false, {1, 5}},
      {"native 360x360", native, {360, 360}, PrintAs::kAuto, kText, none, PageClass::kText, ordered, true, false, {180, 180}, 51, 26, false, false, {1, 1}},
      {"native 120", native, {120, 120}, PrintAs::kAuto, kText, none, PageClass::kText, ordered, false, false, {120, 120}, 101, 51, false, true, {1, 1}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PageRequest request;
    request.commandSet = c.set;
    request.resolution = c.dpi;
    request.pageLength = 842;
    request.width = 101;
    request.height = 51;
    request.bytesPerLine = 303;
    request.printAs = c.as;
    const PagePlan plan = PlanPage(request, c.ratio, c.regions, kPrinterModels[0]);
    EXPECT_EQ(plan.pageClass, c.page);
    if (c.page != PageClass::kText) {
      EXPECT_EQ(plan.picture.screen, c.screen);
    }
    EXPECT_EQ(plan.reduced, c.reduced);
    EXPECT_EQ(plan.averaged, c.averaged);
    EXPECT_EQ(plan.setup, c.dpi);
    EXPECT_EQ(plan.band, c.band);
    EXPECT_EQ(plan.columns, c.columns);
    EXPECT_EQ(plan.rows, c.rows);
    EXPECT_EQ(plan.trimColumns, c.dpi.x / 60);
    EXPECT_EQ(plan.shingled, c.shingled);
    EXPECT_EQ(plan.twoPasses, c.two_passes);
    EXPECT_EQ(plan.feedUnits, c.feed);
    EXPECT_EQ(plan.pageLines, 70) << "A4 is 70 lines of 1/6 inch";

    // What the spool pass gathers for it.
    const SpoolNeeds needs = SpoolNeedsFor(request);
    EXPECT_EQ(needs.regions, c.as == PrintAs::kMixed);
    EXPECT_EQ(needs.averaged, c.as == PrintAs::kMixed && c.dpi == (Resolution{360, 360}));
    EXPECT_EQ(needs.regionScale, needs.averaged ? 2u : 1u);
  }
}

TEST(PagePlannerTest, PageLengthAndModel) {
  PageRequest letter;
  letter.resolution = {180, 180};
  letter.pageLength = 792;
  letter.width = letter.height = 8;
  letter.bytesPerLine = 24;
  EXPECT_EQ(PlanPage(letter, kText, {}, kPrinterModels[0]).pageLines, 66);
  EXPECT_FALSE(PlanPage(letter, kText, {}, kPrinterModels[0]).okidataPrefix);
  EXPECT_TRUE(PlanPage(letter, kText, {}, ModelFromNickname("ZOVA-QRT OKIDATA")).okidataPrefix);

  // A picture page asks the tool for the page's own size, at its resolution.
  const PagePlan picture = PlanPage(letter, kPicture, {}, kPrinterModels[0]);
  EXPECT_EQ(picture.picture.dpi, (Resolution{180, 180}));
  EXPECT_EQ(picture.picture.rowPitch, 0u) << "the tool's own 1/180 inch";
  EXPECT_EQ(picture.picture.columns, 8u);
  EXPECT_EQ(picture.picture.rows, 8u);
}

}  // namespace
}  // namespace zova
