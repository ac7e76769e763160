// Hostile jobs: page headers that claim more than any printer holds, and too
// little memory. Each is refused or ends cleanly, within bounded memory, and
// leaves no spool file.
#include "support/filter_test.h"

namespace zova {
namespace {

using testing::FilterOptions;
using testing::FilterResult;
using testing::RunFilter;
using testing::SmallPage;
using testpage::PageDescription;

// What the filter takes for itself: libraries, buffers, one page.
constexpr long kBoundedKiB = 64 * 1024;

class FilterHostile : public testing::FilterJobTest {};

PageDescription Claiming(unsigned width, unsigned height, unsigned bytes_per_line, unsigned dpi,
                         unsigned rows_written) {
  PageDescription page = SmallPage("N", dpi, dpi, width, height, testpage::Solid(160, 160, 160));
  page.bytesPerLine = bytes_per_line;
  page.rowsWritten = rows_written;
  return page;
}

TEST_F(FilterHostile, PagesBeyondThePrinterAreRefusedUnread) {
  const struct {
    PageDescription page;
    std::string error;
  } cases[] = {
      // 1,800 bytes: a header and no rows.
      {Claiming(178956970, 10, 536870910, 180, 0),
       "ERROR: Page 1 has rows of 178956970 pixels; the widest carriage takes 2880 at 180 dpi "
       "(16 inches); page skipped\n"},
      {Claiming(1, 10, 2147483646, 180, 0),
       "ERROR: Page 1 has rows of 715827882 pixels; the widest carriage takes 2880 at 180 dpi "
       "(16 inches); page skipped\n"},
      // One grey row of a page that would halftone into terabytes.
      {Claiming(2000, 16777216, 6000, 180, 1),
       "ERROR: Page 1 is 16777216 rows long; the longest form takes 11520 at 180 dpi (64 "
       "inches); page skipped\n"},
      {Claiming(100, 10, 300, 0, 10),
       "ERROR: Page 1 is at 0x0 dpi; the printer prints at 1 to 720 dpi; page skipped\n"},
      {Claiming(100, 10, 300, 9601, 10),
       "ERROR: Page 1 is at 9601x9601 dpi; the printer prints at 1 to 720 dpi; page skipped\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    const FilterResult r = Run({c.page}, {}, false);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("ERROR: No page was printed\n"), std::string::npos);
    EXPECT_LT(r.peakKiB, kBoundedKiB);
    EXPECT_TRUE(ToolCalls().empty()) << "nothing was halftoned";
  }

  // A refused page with its rows is skipped, and the next page prints.
  const PageDescription good = SmallPage("LQ", 180, 180, 16, 24, testpage::Solid(0, 0, 0));
  const FilterResult r = Run({Claiming(100, 10, 300, 721, 10), good}, {}, false);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(
      testing::Hex(r.out),
      testing::Hex(testing::ExpectedStream().TextPage(good, testing::BlackPixels(good)).End()));
}

#if !defined(__SANITIZE_ADDRESS__)
TEST_F(FilterHostile, HeaderTooLargeForMemoryEndsTheJobWithAnError) {
  const std::string raster = dir.File("job.ras");
  ASSERT_TRUE(testpage::WriteRasterFile(raster, {Claiming(178956970, 10, 536870910, 180, 0)}));
  FilterOptions o = Options(raster);
  o.addressSpaceLimit = size_t{256} << 20;
  const FilterResult r = RunFilter(o);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR: The raster holds a page header that cannot be read (malformed, or "
                       "too large for memory); the rest of the job is not printed\n"),
            std::string::npos)
      << r.err;
}

TEST_F(FilterHostile, RunningOutOfMemoryAnywhereEndsTheJobCleanly) {
  // Address-space limits from below what the loader needs to above what the
  // job needs: every run prints its pages, or ends with an error line and
  // status 1; none dies of a signal or leaves a spool file.
  const std::string raster = dir.File("job.ras");
  ASSERT_TRUE(testpage::WriteRasterFile(
      raster, {SmallPage("LQ", 180, 180, 300, 100, testpage::Solid(0, 0, 0)),
               SmallPage("LQ", 180, 180, 300, 100, testpage::Solid(160, 160, 160))}));
  int printed = 0, out_of_memory = 0;
  for (size_t limit = 8u << 20; limit <= 48u << 20; limit += 512u << 10) {
    SCOPED_TRACE(::testing::Message() << (limit >> 10) << " KiB");
    FilterOptions o = Options(raster);
    o.addressSpaceLimit = limit;
    const FilterResult r = RunFilter(o);
    if (r.status == 127) continue;  // the program's libraries did not fit
    ASSERT_TRUE(r.status == 0 || r.status == 1) << r.err;
    if (r.status == 1) {
      EXPECT_NE(r.err.find("ERROR: "), std::string::npos) << r.err;
    }
    out_of_memory += r.err.find("ERROR: Out of memory") != std::string::npos;
    // A page that ran out of memory still leaves the printer reset: ESC @.
    if (r.err.find("ERROR: Out of memory on page") != std::string::npos) {
      ASSERT_GE(r.out.size(), 2u);
      EXPECT_EQ(testing::Hex({r.out.end() - 2, r.out.end()}), "1B 40");
    }
    printed += r.status == 0;
    ASSERT_EQ(testing::SpoolFilesOf(job_id), std::vector<std::string>{});
  }
  EXPECT_GT(out_of_memory, 0) << "no limit fell between the loader and the job";
  EXPECT_GT(printed, 0);
}
#endif

}  // namespace
}  // namespace zova
