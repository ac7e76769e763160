// The printer application as a service that runs unattended: no document
// holds the printer, pictures are not cropped, and what fails says why.
// Each fault is made by the test against the real server.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "app/app_test_fixture.h"
#include "preview/stream_decoder.h"

namespace zova::testing {
namespace {

using namespace std::chrono_literals;

class AppRobustTest : public AppTest {
 protected:
  void SetUp() override { AddPrinter("robust", "zova-qrt"); }

  // Prints the document and waits for its job to end; its final state.
  int Run(const std::string& file, const std::string& format,
          const std::vector<std::string>& attributes = {}, int* id = nullptr) {
    std::filesystem::remove(app_->Output("robust"));
    const IppJob job = app_->Print("robust", file, format, attributes);
    EXPECT_GT(job.id, 0) << job.error;
    if (id != nullptr) *id = job.id;
    return job.id > 0 ? app_->WaitForJobEnd("robust", job.id, kJobTimeout) : 0;
  }

  std::string Message(int id) {
    const auto attributes = app_->JobAttributes("robust", id);
    const auto it = attributes.find("job-state-message");
    return it != attributes.end() && !it->second.empty() ? it->second[0] : "";
  }
};

TEST_F(AppRobustTest, BrokenImageEndsItsJobWithTheReasonAndTheNextJobPrints) {
  // A PNG signature and noise: PAPPL 1.3.1's reader loops on it for good.
  std::mt19937 noise(42);
  std::string bytes = "\x89PNG\r\n\x1a\n";
  for (int i = 0; i < 4000; ++i) bytes += static_cast<char>(noise());
  const std::string png = TempFile("noise.png"), jpeg = TempFile("noise.jpg");
  std::ofstream(png, std::ios::binary) << bytes;
  std::ofstream(jpeg, std::ios::binary) << "\xFF\xD8\xFF\xE0" << bytes.substr(8);
  const struct {
    std::string file, format, reason;
  } cases[] = {{png, "image/png", "Not a readable PNG image: "},
               {jpeg, "image/jpeg", "Not a readable JPEG image: "}};
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    int id = 0;
    EXPECT_EQ(Run(c.file, c.format, {}, &id), kJobAborted) << c.format;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
    EXPECT_EQ(Message(id).rfind(c.reason, 0), 0u) << Message(id);
  }
  // The printer is free for the next job.
  const cups_page_header2_t h = PwgHeader("iso_b6_125x176mm", 180);
  const std::string good = TempFile("good.png");
  ASSERT_TRUE(WritePng(good, TextPage(h, 7).image, 180));
  EXPECT_EQ(Run(good, "image/png", {"media=iso_b6_125x176mm"}), kJobCompleted);
}

TEST_F(AppRobustTest, LandscapePictureWithoutResolutionTurnsAndFitsWhole) {
  // A black landscape picture with a white square at a corner, no pixels
  // per inch: it prints turned and scaled to fit the portrait passbook whole
  // (1247 rows of 1/180 inch, 300 pixels to 1247 rows), square included.
  Image picture{300, 200, 1, std::vector<uint8_t>(300 * 200, 0)};
  for (unsigned y = 0; y < 30; ++y) {
    for (unsigned x = 0; x < 30; ++x) picture.pixels[y * 300 + x] = 255;
  }
  const std::string png = TempFile("landscape.png");
  ASSERT_TRUE(WritePng(png, picture, 0));
  ASSERT_EQ(Run(png, "image/png", {"media=iso_b6_125x176mm"}), kJobCompleted);
  const preview::DecodedStream decoded = preview::DecodeStream(ReadBytes(app_->Output("robust")));
  ASSERT_FALSE(decoded.error);
  ASSERT_EQ(decoded.pages.size(), 1u);
  const PackedBitmap& dots = decoded.pages[0].dots;
  size_t left = dots.width(), right = 0, top = dots.height(), bottom = 0;
  for (size_t y = 0; y < dots.height(); ++y) {
    for (size_t x = 0; x < dots.width(); ++x) {
      if (!dots.Get(x, y)) continue;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  // 1247 rows by 1247 x 200 / 300 = 831 columns, centred on 885.
  EXPECT_NEAR(static_cast<double>(bottom - top + 1), 1247, 2);
  EXPECT_NEAR(static_cast<double>(right - left + 1), 831, 2);
  EXPECT_NEAR(static_cast<double>(left), (885 - 831) / 2, 2);
  // The white corner, 30 pixels scaled by 1247 / 300, lies inside.
  size_t holes = 0;
  for (size_t y = top; y <= bottom; ++y) {
    for (size_t x = left; x <= right; ++x) holes += !dots.Get(x, y);
  }
  EXPECT_NEAR(static_cast<double>(holes), 125.0 * 125.0, 125.0 * 125.0 * 0.1);
}

}  // namespace
}  // namespace zova::testing
