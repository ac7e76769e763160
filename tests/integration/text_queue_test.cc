// Text jobs through a private CUPS scheduler: text/plain goes to texttozova
// and prints in the printer's fonts, everything else the raster route, and
// ZovaTextAs=Graphics prints as a queue without texttozova does.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dotmatrix/commands.h"
#include "integration/driver_cupsd.h"
#include "preview/stream_decoder.h"

namespace zova::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class TextQueueTest : public DriverCupsdTest {
 protected:
  void SetUp() override {
    DriverCupsdTest::SetUp();
    if (HasFatalFailure()) return;
    AddQueuesWithAndWithout("texttozova");
    if (HasFatalFailure()) return;
    text_ = (cupsd_->dir() / "two-pages.txt").string();
    std::ofstream(text_) << "Passbook line\fSecond page\n";
    fs::permissions(text_, fs::perms::others_read, fs::perm_options::add);
  }

  std::string text_;
};

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(TextQueueTest, TextPrintsInThePrintersFontsWithItsCopiesAndPdfAsRaster) {
  const std::string text = Print("zova", {}, text_);
  ASSERT_GT(text.size(), kPreambleLength);
  // Draft, 1/360 in units, the A4 form length (4209/360 in), PC437.
  EXPECT_EQ(text.substr(kPreambleLength, 18),
            std::string("\x1b@\x1bx\0\x1b(U\1\0\x0a\x1b(C\2\0\x71\x10", 18));
  EXPECT_NE(text.find(std::string("\x1b(t\3\0\1\1\0", 8)), std::string::npos);
  EXPECT_NE(text.find("Passbook line\r\f"), std::string::npos);
  EXPECT_NE(text.find("Second page\r\f\x1b@"), std::string::npos);
  EXPECT_EQ(text.find("\x1b*"), std::string::npos) << "a bit image in a text job";

  const preview::DecodedStream pdf = preview::DecodeStream([&] {
    const std::string bytes = Print("zova", {}, ZOVA_SAMPLE_PDF);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  }());
  ASSERT_FALSE(pdf.error);
  ASSERT_EQ(pdf.pages.size(), 2u);
  EXPECT_GT(pdf.pages[0].dot_count, 0u);

  // The scheduler hands the filter the copies: two, not four.
  const std::string copies = Print("zova", {"copies=2"}, text_);
  EXPECT_EQ(Count(copies, "Passbook line\r\f"), 2u);
  EXPECT_EQ(Count(copies, "Second page\r\f"), 2u);

  const std::string ranged = Print("zova", {"page-ranges=2"}, text_);
  EXPECT_EQ(Count(ranged, "Passbook line"), 0u);
  EXPECT_EQ(Count(ranged, "Second page\r\f"), 1u);
}

TEST_F(TextQueueTest, GraphicsPrintsAsAQueueWithoutTheTextFilter) {
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, std::vector<std::string>{"cpi=12", "media=Letter"}}) {
    std::vector<std::string> graphics = options;
    graphics.push_back("ZovaTextAs=Graphics");
    const std::string today = Print("raster", options, text_);
    const std::string drawn = Print("zova", graphics, text_);
    EXPECT_GT(today.size(), kPreambleLength + 1000);
    EXPECT_TRUE(drawn == today) << drawn.size() << " bytes, not " << today.size();
  }
}

}  // namespace
}  // namespace zova::testing
