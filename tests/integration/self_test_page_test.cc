// CUPS's "Print Self-Test Page" through a private scheduler: the command
// file goes to commandtozova, which prints the alignment page with the
// queue's settings; a job's bad offset keeps the queue's calibrated one; and
// zova-testpage's pages of a given size carry that size.
#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "integration/driver_cupsd.h"
#include "preview/stream_decoder.h"
#include "testpage/page_text.h"

namespace zova::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using preview::DecodedPage;
using preview::DecodedStream;
using preview::DecodeStream;
using preview::Dialect;

constexpr auto kJobTimeout = 180s;

class SelfTestPageTest : public DriverCupsdTest {
 protected:
  // A queue of the first model with these defaults, set as lpadmin -o sets them.
  void AddQueue(const std::string& queue, const std::vector<std::string>& defaults) {
    std::string error;
    ASSERT_TRUE(
        cupsd_->AddQueue(queue, fs::path(ZOVA_PPD_DIR) / "zovaqrt.ppd", Output(queue), &error))
        << error;
    std::vector<std::string> argv = {"lpadmin", "-p", queue};
    for (const std::string& d : defaults) argv.insert(argv.end(), {"-o", d});
    const CommandResult set = cupsd_->Client(argv);
    ASSERT_EQ(set.status, 0) << set.output;
  }

  // Prints the file and returns the job's stream and log.
  std::pair<std::vector<uint8_t>, std::string> Print(const std::string& queue,
                                                     const std::vector<std::string>& options,
                                                     const std::string& file) {
    std::string error;
    const int job = cupsd_->Submit(queue, options, file, &error);
    EXPECT_GT(job, 0) << error;
    const JobStatus status = cupsd_->WaitForJobEnd(job, kJobTimeout);
    std::string log;
    for (const std::string& line : cupsd_->JobLog(job)) log += line + "\n";
    EXPECT_EQ(status.state, kJobCompleted) << status.stateMessage << "\n" << log;
    const std::string bytes = ReadFile(Output(queue));
    return {{bytes.begin(), bytes.end()}, log};
  }

  std::string CommandFile(const std::string& text) const {
    const fs::path path = cupsd_->dir() / "command.txt";
    std::ofstream(path) << text;
    return path.string();
  }
};

testpage::Image ToImage(const DecodedPage& page) {
  testpage::Image im{unsigned(page.dots.width()), unsigned(page.dots.height()), {}};
  im.grey.resize(size_t{im.width} * im.height);
  for (unsigned y = 0; y < im.height; ++y) {
    for (unsigned x = 0; x < im.width; ++x)
      im.grey[size_t{y} * im.width + x] = page.dots.Get(x, y) ? 0 : 255;
  }
  return im;
}

// The first row of the page with a dot.
long FirstRow(const DecodedPage& page) {
  for (size_t y = 0; y < page.dots.height(); ++y) {
    for (size_t x = 0; x < page.dots.width(); ++x) {
      if (page.dots.Get(x, y)) return long(y);
    }
  }
  return -1;
}

TEST_F(SelfTestPageTest, PrintsTheAlignmentPageWithTheQueuesSettings) {
  AddQueue("zova", {"ZovaCommandSet=Native", "Resolution=360dpi", "PageSize=Letter",
                    "ZovaTopOffset=5", "ZovaLeftOffset=-3"});
  // The queue tells clients it has the command, as CUPS's menus ask.
  EXPECT_EQ(cupsd_->PrinterAttributes("zova")["printer-commands"],
            std::vector<std::string>{"PrintSelfTestPage"});

  const auto [bytes, log] = Print("zova", {"document-format=application/vnd.cups-command"},
                                  CommandFile("#CUPS-COMMAND\nPrintSelfTestPage\n"));
  const DecodedStream stream = DecodeStream(bytes);
  ASSERT_FALSE(stream.error) << "byte " << stream.error->offset << ": " << stream.error->message;
  ASSERT_EQ(stream.pages.size(), 1u) << log;
  const DecodedPage& page = stream.pages[0];
  EXPECT_EQ(page.dialect, Dialect::kNative);
  // Letter is 66 lines of 1/6 inch: ESC F 6 6.
  const std::vector<uint8_t> letter = {0x1B, 0x46, 6, 6};
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), letter.begin(), letter.end()), bytes.end());
  // The frame's top edge, 5 mm down.
  EXPECT_EQ(FirstRow(page), std::lround(5 / 25.4 * 180));
  const testpage::Image im = ToImage(page);
  for (const char* line :
       {"COMMAND SET: NATIVE COMMANDS", "RESOLUTION: 360 X 360 DPI", "PRINT AS: MIXED",
        "TOP OFFSET: +5.0 MM  LEFT OFFSET: -3.0 MM", "MEDIA: LETTER, 215.9 X 279.4 MM"}) {
    EXPECT_TRUE(testpage::HasText(im, 180, 180, line)) << line;
  }

  // Other commands: nothing for the printer, and the log says why.
  const auto [none, clean_log] = Print("zova", {"document-format=application/vnd.cups-command"},
                                       CommandFile("#CUPS-COMMAND\nClean all\nReportLevels\n"));
  EXPECT_TRUE(none.empty());
  EXPECT_NE(clean_log.find("The printer has no \\\"Clean\\\" command"), std::string::npos)
      << clean_log;
  EXPECT_NE(clean_log.find("The printer has no \\\"ReportLevels\\\" command"), std::string::npos);
}

TEST_F(SelfTestPageTest, BadJobOffsetKeepsTheQueuesDefault) {
  AddQueue("zova", {"ZovaTopOffset=1.5"});
  // A page whose frame is on its first row.
  const fs::path raster = cupsd_->dir() / "page.ras";
  const CommandResult made = RunCommand({ZOVA_TESTPAGE, raster.string(), "alignment:LQ:180"});
  ASSERT_EQ(made.status, 0) << made.output;

  const auto [given, given_log] = Print("zova", {"ZovaTopOffset=1.5"}, raster.string());
  const auto [bad, bad_log] = Print("zova", {"ZovaTopOffset=12"}, raster.string());
  EXPECT_TRUE(bad == given);
  const DecodedStream stream = DecodeStream(bad);
  ASSERT_FALSE(stream.error);
  ASSERT_EQ(stream.pages.size(), 1u);
  EXPECT_EQ(FirstRow(stream.pages[0]), std::lround(1.5 / 25.4 * 180));
  EXPECT_NE(bad_log.find("Unknown ZovaTopOffset value \\\"12\\\""), std::string::npos) << bad_log;
}

TEST(TestPageProgramTest, UsageListsThePagesAndSizedPagesCarryTheirSize) {
  const CommandResult usage = RunCommand({ZOVA_TESTPAGE});
  EXPECT_EQ(usage.status, 2);
  for (const char* page : {"text", "photo", "form", "white", "grey", "ppm=FILE", "alignment"}) {
    EXPECT_NE(usage.output.find("    " + std::string(page) + " "), std::string::npos) << page;
  }

  TempDir dir;
  const std::string raster = dir.File("passbook.ras");
  const CommandResult made =
      RunCommand({ZOVA_TESTPAGE, raster, "alignment:LQ:180:992x1276", "text:LQ:360x180:720x360"});
  ASSERT_EQ(made.status, 0) << made.output;
  const int fd = open(raster.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
  // A 140 x 180 mm passbook (396.85 x 510.24 pt), and 2 x 2 inches.
  const unsigned expected[][2] = {{397, 510}, {144, 144}};
  for (const auto& size : expected) {
    cups_page_header2_t header;
    ASSERT_TRUE(cupsRasterReadHeader2(ras, &header));
    EXPECT_EQ(header.PageSize[0], size[0]);
    EXPECT_EQ(header.PageSize[1], size[1]);
    std::vector<uint8_t> row(header.cupsBytesPerLine);
    for (unsigned y = 0; y < header.cupsHeight; ++y)
      cupsRasterReadPixels(ras, row.data(), row.size());
  }
  cupsRasterClose(ras);
  close(fd);
}

}  // namespace
}  // namespace zova::testing
