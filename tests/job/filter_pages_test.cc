// Whole jobs through the real filter: text pages, reduced pages, picture
// pages through the halftoning tool, classification, refused pages, and the
// spool files' safety.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "support/filter_test.h"

namespace zova {
namespace {

using testing::BlackPixels;
using testing::ExpectedStream;
using testing::FilterResult;
using testing::FixtureHalftone;
using testing::Halve;
using testing::Hex;
using testing::SmallPage;
using testpage::PageDescription;
using testpage::RowFill;

PageDescription TextPage(const std::string& type, unsigned r0, unsigned r1, unsigned width,
                         unsigned height, unsigned seed = 1) {
  return SmallPage(type, r0, r1, width, height,
                   testpage::FromBitmap(testpage::TextBitmap(width, height, seed, 60)));
}

// Grey with white stripes; every fifth pixel black when `with_black`: a
// picture whose dark share is 0, or about 0.2.
RowFill PictureFill(bool with_black) {
  return [with_black](unsigned y, uint8_t* rgb, unsigned width) {
    for (unsigned x = 0; x < width; ++x) {
      uint8_t v = 160;
      if (x % 7 == 0)
        v = 255;
      else if (with_black && (x + y) % 5 == 0)
        v = 0;
      rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = v;
    }
  };
}

// One row of pixels with the given channel sums (spread over r, g, b).
RowFill SumsFill(std::vector<int> sums) {
  return [sums](unsigned, uint8_t* rgb, unsigned width) {
    for (unsigned x = 0; x < width; ++x) {
      const int s = sums[x % sums.size()];
      rgb[3 * x] = static_cast<uint8_t>(s / 3);
      rgb[3 * x + 1] = static_cast<uint8_t>(s / 3 + (s % 3 > 1 ? 1 : 0));
      rgb[3 * x + 2] = static_cast<uint8_t>(s / 3 + (s % 3 > 0 ? 1 : 0));
    }
  };
}

// A job that failed before its first page printed: the preamble's NULs,
// then ESC @ (1B 40), the LQ job end.
std::vector<uint8_t> PreambleThenReset() {
  std::vector<uint8_t> bytes(kPreambleLength, kNul);
  bytes.push_back(0x1B);
  bytes.push_back(0x40);
  return bytes;
}

class FilterPages : public testing::FilterJobTest {};

TEST_F(FilterPages, SmallBlackPageByteForByte) {
  // 8 columns, 24 rows, all black, LQ at 180 dpi: worked out by hand.
  const PageDescription page = SmallPage("LQ", 180, 180, 8, 24, testpage::Solid(0, 0, 0));
  const FilterResult r = Run({page});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string expected = Hex(std::vector<uint8_t>(kPreambleLength, kNul)) +
                         " 1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 08"
                         // buffer 0: group 0 whole, group 1 odd columns, group 2 even ones
                         " 0D 1B 2A 27 08 00";
  for (int i = 0; i < 4; ++i) expected += " FF 00 FF FF FF 00";
  // page end: buffer 1, 8 dot rows lower, then the form feed and job end
  expected += " 0D 1B 28 55 01 00 14 1B 28 76 02 00 08 00 1B 28 55 01 00 40 1B 2A 27 08 00";
  for (int i = 0; i < 4; ++i) expected += " FF 00 00 00 FF 00";
  expected += " 0C 1B 40";
  EXPECT_EQ(Hex(r.out), expected);
}

TEST_F(FilterPages, TextPageAt180InBothDialects) {
  for (const char* type : {"LQ", "ZOVA"}) {
    SCOPED_TRACE(type);
    // Odd width, height not a multiple of 8 or 24.
    const PageDescription page = TextPage(type, 180, 180, 203, 101);
    const FilterResult r = Run({page});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Hex(r.out), Hex(ExpectedStream().TextPage(page, BlackPixels(page)).End()));
    const std::string ppm = SpoolBase(1) + ".ppm";
    // Diagnostics are DEBUG lines with their text as it always was; the job's
    // state is an INFO line; a job that prints has no ERROR line.
    EXPECT_EQ(r.err,
              "INFO: Printing page 1\n"
              "DEBUG: V1.0 PAGE: 1 1 Width:203 Height:101 PerLine:609  RowCount:0 Resolution:180 "
              "180 pagesize:595 842\n"
              "DEBUG:pic number:1.00\n"
              "DEBUG: cupsWidth:203 cupsHeight:101 PerLine:609 pbmHeadLen:15\n"
              "DEBUG: open " +
                  ppm +
                  " ok 0\n"
                  "DEBUG: pbmHead P6\n203 101\n255\n ok \n"
                  "DEBUG: Shingling0:" +
                  (std::string(type) == "LQ" ? "1" : "0") +
                  "\n"
                  "PAGE: 1 1\n"
                  "INFO: Printed 1 page\n");
    EXPECT_TRUE(ToolCalls().empty());
  }
}

TEST_F(FilterPages, TextPageAt360IsPrintedAt180) {
  for (const char* type : {"LQ", "N"}) {
    SCOPED_TRACE(type);
    // Odd width and odd height: the last column and the last row stand alone.
    const PageDescription page = TextPage(type, 360, 360, 101, 53, 7);
    const FilterResult r = Run({page});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Hex(r.out), Hex(ExpectedStream().ReducedPage(page, Halve(BlackPixels(page))).End()));
    EXPECT_NE(r.err.find("DEBUG: cupsWidth:51 cupsHeight:53 PerLine:303 pbmHeadLen:14\n"),
              std::string::npos)
        << r.err;
  }
  // 360x180 and 180x360 pages are not reduced.
  for (unsigned r1 : {180u, 360u}) {
    const PageDescription page = TextPage("LQ", r1 == 180 ? 360 : 180, r1, 64, 30);
    const FilterResult r = Run({page});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Hex(r.out), Hex(ExpectedStream().TextPage(page, BlackPixels(page)).End()));
  }
}

TEST_F(FilterPages, PicturePagesGoThroughTheHalftoningTool) {
  // The tool is told the rows' pitch on pages of 360 rows per inch.
  const struct {
    unsigned dpi, ydpi;
    bool with_black;
    const char* ratio;
    const char* arguments;
  } cases[] = {{180, 180, true, "0.20", " 180 3"},
               {360, 360, false, "0.00", " 360 2 360"},
               {180, 360, true, "0.20", " 180 3 360"},
               {360, 180, false, "0.00", " 360 2"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.dpi << "x" << c.ydpi);
    std::remove(tool_log.c_str());
    const PageDescription page = SmallPage("LQ", c.dpi, c.ydpi, 77, 61, PictureFill(c.with_black));
    const FilterResult r = Run({page});
    ASSERT_EQ(r.status, 0) << r.err;
    // A picture page keeps its resolution, 360 dpi included.
    EXPECT_EQ(Hex(r.out), Hex(ExpectedStream().PicturePage(page, FixtureHalftone(page)).End()));
    EXPECT_EQ(ToolCalls(), std::vector<std::string>{SpoolBase(1) + c.arguments});
    const std::string pbm = SpoolBase(1) + ".pbm";
    EXPECT_NE(r.err.find(std::string("DEBUG:pic number:") + c.ratio +
                         "\n"
                         "DEBUG: cupsWidth:77 cupsHeight:61 PerLine:10 pbmHeadLen:9\n"
                         "DEBUG: open " +
                         pbm +
                         " ok 0\n"
                         "DEBUG: pbmHead P4\n77 61\n ok \n"),
              std::string::npos)
        << r.err;
  }
}

TEST_F(FilterPages, DarkRatioBoundaries) {
  const struct {
    std::vector<int> sums;
    const char* ratio;
    const char* mode;  // nullptr: text page
  } cases[] = {
      {{300, 300, 300, 600, 600, 600, 600, 600, 600, 600}, "0.30", nullptr},
      {{301, 301, 301, 600, 600, 600, 600, 600, 600, 600}, "0.00", "2"},
      {{0, 730, 730, 730, 730, 730, 730, 730, 730, 730}, "0.10", "3"},
      {{0, 731, 731, 731, 731, 731, 731, 731, 731, 731}, "1.00", nullptr},
      {{0, 600, 600, 600, 600}, "0.20", "3"},
      {{0, 600, 600}, "0.33", nullptr},
      {{765}, "-nan", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ratio);
    std::remove(tool_log.c_str());
    const auto width = static_cast<unsigned>(c.sums.size());
    const FilterResult r = Run({SmallPage("LQ", 180, 180, width, 1, SumsFill(c.sums))});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(std::string("DEBUG:pic number:") + c.ratio + "\n"), std::string::npos)
        << r.err;
    if (c.mode == nullptr) {
      EXPECT_TRUE(ToolCalls().empty());
    } else {
      EXPECT_EQ(ToolCalls(), std::vector<std::string>{SpoolBase(1) + " 180 " + c.mode});
    }
  }
}

TEST_F(FilterPages, MultiPageJobChangesDialectAndResolution) {
  const std::vector<PageDescription> pages = {
      TextPage("LQ", 180, 180, 90, 50, 1),
      TextPage("ZOVA", 120, 120, 60, 30, 2),
      SmallPage("LQ", 360, 360, 70, 40, PictureFill(true)),
      TextPage("LQ", 360, 360, 90, 45, 3),
      TextPage("LQ", 240, 240, 75, 25, 4),
      TextPage("N", 60, 60, 33, 26, 5),
  };
  const FilterResult r = Run(pages);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<uint8_t> expected = ExpectedStream()
                                            .TextPage(pages[0], BlackPixels(pages[0]))
                                            .TextPage(pages[1], BlackPixels(pages[1]))
                                            .PicturePage(pages[2], FixtureHalftone(pages[2]))
                                            .ReducedPage(pages[3], Halve(BlackPixels(pages[3])))
                                            .TextPage(pages[4], BlackPixels(pages[4]))
                                            .TextPage(pages[5], BlackPixels(pages[5]))
                                            .End();
  EXPECT_EQ(Hex(r.out), Hex(expected));
  for (int n = 1; n <= 6; ++n) {
    EXPECT_NE(r.err.find("PAGE: " + std::to_string(n) + " 1\n"), std::string::npos);
  }
}

TEST_F(FilterPages, PagesThePrinterCannotTakeAreSkipped) {
  const PageDescription good = TextPage("LQ", 180, 180, 40, 30, 9);
  PageDescription no_type = TextPage("", 180, 180, 40, 30);
  PageDescription odd_dpi = TextPage("LQ", 300, 300, 40, 30);
  PageDescription grey8 = TextPage("LQ", 180, 180, 40, 30);
  grey8.bitsPerPixel = 8;
  PageDescription deep = TextPage("LQ", 180, 180, 40, 30);
  deep.bitsPerPixel = 48;  // 16 bits per colour
  const FilterResult r = Run({no_type, odd_dpi, grey8, deep, good});
  ASSERT_EQ(r.status, 0) << r.err;
  // Only the good page prints, set up and numbered as page 5.
  EXPECT_EQ(Hex(r.out), Hex(ExpectedStream().TextPage(good, BlackPixels(good)).End()));
  for (const char* line :
       {"ERROR: OutputType Error\n",
        "ERROR: The LQ command set cannot print at 300 dpi horizontally (60, 120, 180, 240 or "
        "360 dpi)\n",
        "ERROR: Page 3 has 8 bits per pixel; the printer needs 24-bit RGB; page skipped\n",
        "ERROR: Page 4 has 48 bits per pixel; the printer needs 24-bit RGB; page skipped\n",
        "PAGE: 1 1\n"}) {
    EXPECT_NE(r.err.find(line), std::string::npos) << line;
  }
  EXPECT_NE(r.err.find("DEBUG: open " + SpoolBase(5) + ".ppm ok 0\n"), std::string::npos);

  // A job of refused pages only has printed nothing.
  const FilterResult none = Run({no_type, odd_dpi});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(Hex(none.out), Hex(ExpectedStream().End()));
}

TEST_F(FilterPages, ShortRasterPrintsWhatArrived) {
  // The stream ends 18 rows early: the page prints the rows it has.
  PageDescription page = TextPage("LQ", 180, 180, 50, 48);
  page.rowsWritten = 30;
  FilterResult r = Run({page}, {}, false);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Hex(r.out), Hex(ExpectedStream().TextPage(page, BlackPixels(page)).End()));
  EXPECT_NE(r.err.find("DEBUG: readfile to Planes[0], iReadLen:0\n"), std::string::npos);

  // A reduced page cut after an odd number of rows still prints its last row.
  PageDescription reduced = TextPage("LQ", 360, 360, 50, 40);
  reduced.rowsWritten = 31;
  r = Run({reduced}, {}, false);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Hex(r.out),
            Hex(ExpectedStream().ReducedPage(reduced, Halve(BlackPixels(reduced))).End()));
  EXPECT_NE(r.err.find("DEBUG: readfile to 360_2, iReadLen:0\n"), std::string::npos);
}

TEST_F(FilterPages, ToolImageWiderThanThePageIsClipped) {
  const PageDescription page = SmallPage("LQ", 180, 180, 45, 30, PictureFill(true));
  const FilterResult r = Run({page}, {{"ZOVA_FIXTURE", "wide"}});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Hex(r.out), Hex(ExpectedStream().PicturePage(page, FixtureHalftone(page)).End()));
  EXPECT_NE(r.err.find("DEBUG: Halftone image is 90 pixels wide, clipped to the page's 45\n"),
            std::string::npos);
}

TEST_F(FilterPages, BrokenToolImageEndsTheJob) {
  const PageDescription page = SmallPage("LQ", 180, 180, 45, 30, PictureFill(true));
  const std::string pbm = SpoolBase(1) + ".pbm";
  const std::string bad_header = "ERROR: " + pbm +
                                 " is not a usable halftone image: expected \"P4\", then width "
                                 "and height on one line, within 21 bytes\n";
  const struct {
    const char* fixture;
    std::string error;
  } cases[] = {
      {"none", "ERROR: open " + pbm + " error:2\n"},
      {"long-header", bad_header},
      {"split-header", bad_header},
      {"zero-width", bad_header},
      {"text-magic", bad_header},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    const FilterResult r = Run({page}, {{"ZOVA_FIXTURE", c.fixture}});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("PAGE: 1 1\n"), std::string::npos);
    // The printer still takes bytes: the job ends with ESC @ all the same.
    EXPECT_EQ(Hex(r.out), Hex(PreambleThenReset()));
    EXPECT_EQ(testing::SpoolFilesOf(job_id), std::vector<std::string>{});
  }
}

TEST_F(FilterPages, ToolCannotEatTheRasterOnStdin) {
  // The second page is larger than what libcups reads ahead.
  const std::vector<PageDescription> pages = {SmallPage("LQ", 180, 180, 45, 30, PictureFill(true)),
                                              TextPage("LQ", 180, 180, 1000, 400)};
  const std::string raster = dir.File("job.ras");
  ASSERT_TRUE(testpage::WriteRasterFile(raster, pages, false));
  testing::FilterOptions o = Options("");
  o.args = testing::FilterArgs(job_id);
  o.stdinFile = raster;
  o.env["ZOVA_FIXTURE"] = "eat-stdin";
  const FilterResult r = testing::RunFilter(o);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Hex(r.out), Hex(ExpectedStream()
                                .PicturePage(pages[0], FixtureHalftone(pages[0]))
                                .TextPage(pages[1], BlackPixels(pages[1]))
                                .End()));
}

TEST_F(FilterPages, StaleToolImageIsNeverPrinted) {
  // An earlier job left an image under this page's name; the tool fails.
  const std::string pbm = SpoolBase(1) + ".pbm";
  {
    std::ofstream stale(pbm);
    stale << "P4\n8 24\n" << std::string(24, '\xFF');
  }
  const PageDescription page = SmallPage("LQ", 180, 180, 8, 24, PictureFill(false));
  const FilterResult r = Run({page}, {{"ZOVA_FIXTURE", "none"}});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR: open " + pbm + " error:2\n"), std::string::npos) << r.err;
  EXPECT_EQ(Hex(r.out), Hex(PreambleThenReset()));
}

TEST_F(FilterPages, SpoolFileNeverFollowsAPlantedLink) {
  const std::string victim = dir.File("victim");
  {
    std::ofstream v(victim);
    v << "precious";
  }
  const std::string ppm = SpoolBase(1) + ".ppm";
  ASSERT_EQ(symlink(victim.c_str(), ppm.c_str()), 0);
  const PageDescription page = TextPage("LQ", 180, 180, 40, 30);
  const FilterResult r = Run({page});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Hex(r.out), Hex(ExpectedStream().TextPage(page, BlackPixels(page)).End()));
  std::ifstream v(victim);
  std::string content;
  std::getline(v, content);
  EXPECT_EQ(content, "precious");
}

TEST_F(FilterPages, SpoolFileThatCannotBeCreatedEndsTheJob) {
  // The first page's spool, or the second's after the first has printed:
  // what went out stays, and the job end follows it.
  const PageDescription first = TextPage("LQ", 180, 180, 40, 30);
  for (const int page : {1, 2}) {
    SCOPED_TRACE(page);
    const std::string ppm = SpoolBase(page) + ".ppm";
    ASSERT_EQ(mkdir(ppm.c_str(), 0700), 0);
    const FilterResult r = Run({first, TextPage("LQ", 180, 180, 40, 30, 2)});
    rmdir(ppm.c_str());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ERROR: Unable to create spool file " + ppm + ": File exists\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Hex(r.out),
              Hex(page == 1 ? PreambleThenReset()
                            : ExpectedStream().TextPage(first, BlackPixels(first)).End()));
  }
}

}  // namespace
}  // namespace zova
