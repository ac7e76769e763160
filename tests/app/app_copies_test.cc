// Copies and page ranges of PDF and PostScript jobs, and the bounds on
// Ghostscript's memory and time, against the real server and Ghostscript.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "app/app_test_fixture.h"
#include "ghostscript_filter.h"
#include "preview/stream_decoder.h"
#include "support/process.h"

namespace zova::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kA4 = "iso_a4_210x297mm";

class AppCopiesTest : public AppTest {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    app_ = PrivateApp::Start(&error, {"ghostscript-memory-mb=256", "ghostscript-job-seconds=8"});
    ASSERT_TRUE(app_) << error;
  }
  void SetUp() override { AddPrinter("copies", "zova-qrt"); }

  // Five A4 pages, page n with n black squares in a row, as PostScript and
  // as PDF.
  std::pair<std::string, std::string> FivePages() const {
    const std::string ps = TempFile("five.ps"), pdf = TempFile("five.pdf");
    std::ofstream(ps) << "%!PS\n<< /PageSize [595 842] >> setpagedevice\n"
                         "1 1 5 { /n exch def 1 1 n { 72 mul 700 36 36 rectfill } for showpage } "
                         "for\n";
    EXPECT_EQ(RunCommand({ZOVA_GS, "-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=pdfwrite",
                          "-sOutputFile=" + pdf, ps})
                  .status,
              0);
    return {ps, pdf};
  }

  // Every page of the document as Ghostscript draws it for the app at 60 dpi.
  static std::vector<ReferencePage> AllPages(const std::string& file) {
    const cups_page_header2_t h = PwgHeader(kA4, 60);
    std::vector<std::string> gs = app::GhostscriptCommand(file, 60, 60, h.cupsWidth, h.cupsHeight);
    gs[0] = ZOVA_GS;
    const ProcessResult raster = RunProcess(Command(gs));
    EXPECT_EQ(raster.status, 0) << raster.err;
    std::vector<ReferencePage> pages;
    for (Image& image : SplitPpm(raster.out)) {
      ReferencePage page;
      page.image = std::move(image);
      page.dpi[0] = page.dpi[1] = 60;
      page.pageSize[0] = h.PageSize[0];
      page.pageSize[1] = h.PageSize[1];
      pages.push_back(std::move(page));
    }
    return pages;
  }

  // Submits with the program's own command and its arguments `args`, as a
  // user does; the job's ID.
  int Submit(const std::string& file, const std::vector<std::string>& args_given) {
    std::filesystem::remove(app_->Output("copies"));
    std::vector<std::string> args = {"submit", "-d", "copies"};
    args.insert(args.end(), args_given.begin(), args_given.end());
    args.push_back(file);
    const CommandResult submitted = app_->Command(args);
    const size_t at = submitted.output.find("copies-");
    EXPECT_TRUE(submitted.status == 0 && at != std::string::npos) << submitted.output;
    return at == std::string::npos ? 0 : atoi(submitted.output.c_str() + at + 7);
  }

  std::string Attribute(int id, const char* name) {
    const auto attributes = app_->JobAttributes("copies", id);
    const auto it = attributes.find(name);
    return it != attributes.end() && !it->second.empty() ? it->second[0] : "";
  }
};

TEST_F(AppCopiesTest, CopiesAndPageRangesPrintTheChosenPagesOnceDrawn) {
  const auto [ps, pdf] = FivePages();
  const struct {
    std::vector<std::string> args;
    std::vector<int> pages;  // of the document, in the order printed
  } kCases[] = {
      {{"-o", "copies=2", "-o", "page-ranges=2-3"}, {2, 3, 2, 3}},
      {{"-o", "page-ranges=4-9"}, {4, 5}},
      {{"-n", "2"}, {1, 2, 3, 4, 5, 1, 2, 3, 4, 5}},
  };
  for (const std::string& file : {ps, pdf}) {
    const std::vector<ReferencePage> all = AllPages(file);
    ASSERT_EQ(all.size(), 5u);
    for (const auto& c : kCases) {
      SCOPED_TRACE(file + " " + c.args[1]);
      std::vector<std::string> args = {"-o", "media=" + std::string(kA4), "-o",
                                       "printer-resolution=60x60dpi"};
      args.insert(args.end(), c.args.begin(), c.args.end());
      const int id = Submit(file, args);
      ASSERT_GT(id, 0);
      ASSERT_EQ(app_->WaitForJobEnd("copies", id, kJobTimeout), kJobCompleted) << app_->Log();
      const std::vector<uint8_t> stream = ReadBytes(app_->Output("copies"));

      std::vector<ReferencePage> expected;
      for (int page : c.pages) expected.push_back(all[static_cast<size_t>(page - 1)]);
      std::string error;
      const std::vector<uint8_t> filter =
          FilterStream(expected, "LQ", PpdPath("zovaqrt.ppd"), &error);
      ASSERT_FALSE(filter.empty()) << error;
      EXPECT_TRUE(stream == filter)
          << "app " << stream.size() << " bytes, filter " << filter.size();

      const preview::DecodedStream decoded = preview::DecodeStream(stream);
      ASSERT_FALSE(decoded.error);
      ASSERT_EQ(decoded.pages.size(), c.pages.size());
      for (size_t i = 0; i < c.pages.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
          EXPECT_EQ(decoded.pages[i].dots == decoded.pages[j].dots, c.pages[i] == c.pages[j])
              << "printed pages " << j << " and " << i;
        }
      }
      EXPECT_EQ(Attribute(id, "job-impressions-completed"), std::to_string(c.pages.size()));
      // Nothing is left in the page spool.
      EXPECT_TRUE(std::filesystem::is_empty(app_->dir() / "state" / "spool" / "pages"));
    }
    const int none = Submit(file, {"-o", "page-ranges=7-9"});
    EXPECT_EQ(app_->WaitForJobEnd("copies", none, kJobTimeout), kJobAborted);
    EXPECT_EQ(Attribute(none, "job-state-message"), "The document has no page in page-ranges 7-9.");
  }
}

// An IPP Everywhere queue of CUPS sends the PDF and leaves the copies to the
// printer, which says it makes them.
TEST_F(AppCopiesTest, CupsEverywhereQueuePrintsItsCopies) {
  CupsdConfig config;
  config.cupsd = ZOVA_CUPSD;
  config.serverBin = ZOVA_CUPS_SERVERBIN;
  std::string error;
  const std::unique_ptr<PrivateCupsd> cupsd = PrivateCupsd::Start(config, &error);
  ASSERT_TRUE(cupsd) << error;
  const CommandResult added = cupsd->Client(
      {"lpadmin", "-p", "Q", "-E", "-v", app_->PrinterUri("copies"), "-m", "everywhere"});
  ASSERT_EQ(added.status, 0) << added.output;
  const std::string pdf = FivePages().second;
  std::filesystem::remove(app_->Output("copies"));
  const int id = cupsd->Submit("Q", {"copies=3", "page-ranges=2", "media=A4"}, pdf, &error);
  ASSERT_GT(id, 0) << error;
  EXPECT_EQ(cupsd->WaitForJobEnd(id, kJobTimeout).state, kJobCompleted) << cupsd->ErrorLog();
  const preview::DecodedStream decoded = preview::DecodeStream(ReadBytes(app_->Output("copies")));
  ASSERT_FALSE(decoded.error);
  ASSERT_EQ(decoded.pages.size(), 3u);
  // Page 2: two squares, each half an inch wide, one inch apart.
  const PackedBitmap& dots = decoded.pages[0].dots;
  size_t runs = 0;
  const size_t y = static_cast<size_t>((842 - 718) / 72.0 * 180);
  for (size_t x = 1; x < dots.width(); ++x) runs += dots.Get(x, y) && !dots.Get(x - 1, y);
  EXPECT_EQ(runs, 2u);
  EXPECT_TRUE(decoded.pages[1].dots == dots && decoded.pages[2].dots == dots);
}

TEST_F(AppCopiesTest, GhostscriptIsStoppedAtItsMemoryAndDocumentTime) {
  const std::string hog = TempFile("hog.ps"), slow = TempFile("slow.ps"), good = TempFile("ok.ps");
  // 1.5 GB of strings kept, on 229 bytes.
  std::ofstream(hog) << "%!PS\n/a 24000 array def 0 1 23999 { a exch 65536 string put } for "
                        "showpage\n";
  // Pages without end, each well within the page's time.
  std::ofstream(slow) << "%!PS\n{ 0 1 10000000 { pop } for showpage } loop\n";
  std::ofstream(good) << "%!PS\n0 0 moveto 72 72 lineto stroke showpage\n";
  const struct {
    std::string file, message;
  } kCases[] = {
      {hog, "Ghostscript needed more than 256 MB and was stopped."},
      {slow, "Ghostscript took more than 8 s over the document and was stopped."},
  };
  for (const auto& c : kCases) {
    const auto start = std::chrono::steady_clock::now();
    const int id = Submit(c.file, {});
    ASSERT_GT(id, 0);
    EXPECT_EQ(app_->WaitForJobEnd("copies", id, kJobTimeout), kJobAborted);
    EXPECT_EQ(Attribute(id, "job-state-message"), c.message);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
    const int next = Submit(good, {});
    EXPECT_EQ(app_->WaitForJobEnd("copies", next, kJobTimeout), kJobCompleted) << app_->Log();
  }
}

}  // namespace
}  // namespace zova::testing
