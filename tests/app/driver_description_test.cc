// The printer application offers what the driver description offers: the
// PPD's page sizes, resolutions and option choices, so that the two cannot
// drift apart.
#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "app/app_test_fixture.h"
#include "drivers.h"
#include "vendor_options.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace zova::testing {
namespace {

// A size in hundredths of a millimetre from points.
int Hundredths(float points) { return static_cast<int>(std::lround(points * 2540.0 / 72.0)); }

TEST(DriverDescriptionTest, AppOffersThePpdsSizesResolutionsAndChoices) {
  ppd_file_t* ppd = ppdOpenFile(PpdPath("zovaqrt.ppd").c_str());
  ASSERT_NE(ppd, nullptr);
  pappl_pr_driver_data_t data{};
  ipp_t* attrs = nullptr;
  ASSERT_TRUE(app::DriverCallback(nullptr, "zova-qrt", "", "", &data, &attrs, nullptr));
  ippDelete(attrs);

  // Every fixed size of the PPD, and the custom range, is one of the app's
  // media, within half a millimetre (the PPD rounds to points).
  std::set<std::string> matched;
  auto find_media = [&](int width, int length) -> std::string {
    for (int i = 0; i < data.num_media; ++i) {
      const pwg_media_t* pwg = pwgMediaForPWG(data.media[i]);
      if (pwg != nullptr && std::abs(pwg->width - width) <= 50 &&
          std::abs(pwg->length - length) <= 50) {
        return data.media[i];
      }
    }
    return "";
  };
  for (int i = 0; i < ppd->num_sizes; ++i) {
    const ppd_size_t& size = ppd->sizes[i];
    if (std::string(size.name) == "Custom") continue;
    const std::string media = find_media(Hundredths(size.width), Hundredths(size.length));
    EXPECT_FALSE(media.empty()) << size.name << " is not offered";
    matched.insert(media);
  }
  matched.insert(find_media(Hundredths(ppd->custom_min[0]), Hundredths(ppd->custom_min[1])));
  matched.insert(find_media(Hundredths(ppd->custom_max[0]), Hundredths(ppd->custom_max[1])));
  EXPECT_EQ(matched.size(), static_cast<size_t>(data.num_media)) << "the app offers more sizes";
  const ppd_choice_t* default_size = ppdFindChoice(ppdFindOption(ppd, "PageSize"), "A4");
  ASSERT_NE(default_size, nullptr);
  const pwg_media_t* default_media = pwgMediaForPWG(data.media_default.size_name);
  ASSERT_NE(default_media, nullptr);
  EXPECT_EQ(std::string(ppdFindOption(ppd, "PageSize")->defchoice), "A4");
  EXPECT_EQ(find_media(default_media->width, default_media->length), "iso_a4_210x297mm");

  // The resolutions: PAPPL takes four of the five, and leaves out 240 dpi.
  std::set<int> ppd_dpi, app_dpi;
  const ppd_option_t* resolution = ppdFindOption(ppd, "Resolution");
  ASSERT_NE(resolution, nullptr);
  for (int i = 0; i < resolution->num_choices; ++i)
    ppd_dpi.insert(atoi(resolution->choices[i].choice));
  for (int i = 0; i < data.num_resolution; ++i) {
    EXPECT_EQ(data.x_resolution[i], data.y_resolution[i]);
    app_dpi.insert(data.x_resolution[i]);
  }
  std::set<int> left_out = ppd_dpi;
  for (int dpi : app_dpi) EXPECT_EQ(left_out.erase(dpi), 1u) << dpi << " dpi is not in the PPD";
  EXPECT_EQ(left_out, std::set<int>{240});
  EXPECT_EQ(atoi(resolution->defchoice), data.x_default);

  // Each vendor option stands for a PPD option: the same choices in the same
  // order, the PPD's default first; a command set's choice is its OutputType.
  for (const app::VendorOption* option : app::VendorOptions()) {
    SCOPED_TRACE(option->name);
    const ppd_option_t* ppd_option = ppdFindOption(ppd, std::string(option->ppdOption).c_str());
    ASSERT_NE(ppd_option, nullptr);
    ASSERT_EQ(static_cast<size_t>(ppd_option->num_choices), option->choices.size());
    EXPECT_EQ(std::string(ppd_option->defchoice), option->choices.front().ppdChoice);
    for (size_t i = 0; i < option->choices.size(); ++i) {
      const ppd_choice_t& choice = ppd_option->choices[i];
      EXPECT_EQ(std::string(choice.choice), option->choices[i].ppdChoice);
      if (option == &app::kCommandSetOption) {
        EXPECT_NE(std::string(choice.code).find(std::string("/OutputType(") + choice.choice + ")"),
                  std::string::npos);
      }
    }
  }
  ppdClose(ppd);
}

}  // namespace
}  // namespace zova::testing
