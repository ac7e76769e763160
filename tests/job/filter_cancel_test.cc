// Cancelling a job: CUPS sends SIGTERM, the page in progress ends with a
// form feed and the job ends normally.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/filter_test.h"

namespace zova {
namespace {

using testing::FilterOptions;
using testing::FilterProcess;
using testing::FilterResult;
using testing::Hex;
using testing::SmallPage;
using testpage::PageDescription;
using testpage::RasterStreamWriter;

class FilterCancel : public testing::FilterJobTest {
 protected:
  // After a cancel the filter may stop reading before the test stops
  // writing: a write then fails instead of killing the test.
  FilterCancel() { signal(SIGPIPE, SIG_IGN); }

  FilterOptions PipeOptions() const {
    FilterOptions o = Options("");
    o.args = testing::FilterArgs(job_id);
    o.stdinPipe = true;
    return o;
  }

  // Waits until the page's spool image exists: the spool pass has begun.
  bool WaitForSpool(int page) {
    const std::string ppm = SpoolBase(page) + ".ppm";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    struct stat st {};
    while (std::chrono::steady_clock::now() < deadline) {
      if (stat(ppm.c_str(), &st) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }
};

TEST_F(FilterCancel, BeforeTheFirstPage) {
  FilterProcess filter(PipeOptions());
  RasterStreamWriter writer(filter.stdinFd(), true);  // sends the sync word
  ASSERT_TRUE(filter.WaitUntilBlockedOnStdin());
  filter.Signal(SIGTERM);
  // The next header arrives, but the job is over.
  const PageDescription page = SmallPage("LQ", 180, 180, 16, 24, testpage::Solid(0, 0, 0));
  if (writer.Header(page)) writer.Rows(page, 0, 24);
  writer.Close();
  const FilterResult r = filter.Wait();
  EXPECT_EQ(r.status, 1);
  std::vector<uint8_t> expected(kPreambleLength, kNul);
  expected.insert(expected.end(), {0x1B, 0x40});
  EXPECT_EQ(Hex(r.out), Hex(expected));
  EXPECT_EQ(r.err, "");
}

TEST_F(FilterCancel, InTheMiddleOfAPage) {
  FilterProcess filter(PipeOptions());
  RasterStreamWriter writer(filter.stdinFd(), false);
  const PageDescription page = SmallPage("LQ", 180, 180, 100, 200, testpage::Solid(0, 0, 0));
  ASSERT_TRUE(writer.Header(page));
  ASSERT_TRUE(writer.Rows(page, 0, 60));
  // The spool pass has taken the first rows and waits for more.
  ASSERT_TRUE(WaitForSpool(1));
  ASSERT_TRUE(filter.WaitUntilBlockedOnStdin());
  filter.Signal(SIGTERM);
  // The rest of the job arrives, or the filter has stopped reading: a
  // second page is never started.
  if (writer.Rows(page, 60, 200) && writer.Header(page)) writer.Rows(page, 0, 200);
  writer.Close();
  const FilterResult r = filter.Wait();
  EXPECT_EQ(r.status, 0) << "the cancelled page was started";
  // Page setup, no band (the read-back stops at once), form feed, job end.
  std::vector<uint8_t> expected(kPreambleLength, kNul);
  expected.insert(expected.end(), {0x1B, 0x40, 0x1B, 0x36, 0x1C, 0x78, 0x30, 0x1B, 0x55, 0x30, 0x1B,
                                   0x32, 0x1B, 0x43, 0x46, 0x1B, 0x33, 0x08, 0x0C, 0x1B, 0x40});
  EXPECT_EQ(Hex(r.out), Hex(expected));
  EXPECT_NE(r.err.find("PAGE: 1 1\n"), std::string::npos);
  EXPECT_EQ(r.err.find("PAGE: 2"), std::string::npos);
}

TEST_F(FilterCancel, WhileTheHalftoningToolRuns) {
  // The stand-in tool hangs until a signal ends it: only a cancel that
  // reaches it lets the job end.
  const PageDescription page = SmallPage("LQ", 180, 180, 16, 24, testpage::Solid(160, 160, 160));
  const std::string raster = dir.File("job.ras");
  ASSERT_TRUE(testpage::WriteRasterFile(raster, {page}));
  FilterOptions o = Options(raster);
  o.env["ZOVA_FIXTURE"] = "hang";
  FilterProcess filter(o);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (ToolCalls().empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(ToolCalls().size(), 1u) << "the tool never started";
  const auto cancelled = std::chrono::steady_clock::now();
  filter.Signal(SIGTERM);
  const FilterResult r = filter.Wait();
  EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(5));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("DEBUG: zova_ID was killed by signal 15\n"), std::string::npos) << r.err;
  // The page's setup and form feed, as for any cancelled page.
  std::vector<uint8_t> expected(kPreambleLength, kNul);
  expected.insert(expected.end(), {0x1B, 0x40, 0x1B, 0x36, 0x1C, 0x78, 0x30, 0x1B, 0x55, 0x30, 0x1B,
                                   0x32, 0x1B, 0x43, 0x46, 0x1B, 0x33, 0x08, 0x0C, 0x1B, 0x40});
  EXPECT_EQ(Hex(r.out), Hex(expected));
  EXPECT_NE(r.err.find("PAGE: 1 1\n"), std::string::npos);
}

}  // namespace
}  // namespace zova
