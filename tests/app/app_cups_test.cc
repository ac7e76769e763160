// A CUPS queue made as the README says (lpadmin -m everywhere) on the
// application's printer: CUPS must accept the PPD it makes of the printer,
// and a form printed through the queue must land where the same form sent
// to the application directly lands, at full size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "app/app_test_fixture.h"
#include "preview/stream_decoder.h"

namespace zova::testing {
namespace {

using namespace std::chrono_literals;

struct Box {
  size_t left = SIZE_MAX, top = SIZE_MAX, right = 0, bottom = 0;  // inclusive
  bool operator==(const Box&) const = default;
};

Box BoundingBox(const PackedBitmap& dots) {
  Box box;
  for (size_t y = 0; y < dots.height(); ++y) {
    for (size_t x = 0; x < dots.width(); ++x) {
      if (!dots.Get(x, y)) continue;
      box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
             std::max(box.bottom, y)};
    }
  }
  return box;
}

// Dots of `a` with no dot of `b` at or next to them: the two renderings
// may round an edge to different sides, no more.
size_t StrayDots(const PackedBitmap& a, const PackedBitmap& b) {
  size_t stray = 0;
  for (size_t y = 0; y < a.height(); ++y) {
    for (size_t x = 0; x < a.width(); ++x) {
      if (!a.Get(x, y)) continue;
      bool near = false;
      for (size_t v = y > 0 ? y - 1 : 0; v <= y + 1 && v < b.height() && !near; ++v) {
        for (size_t u = x > 0 ? x - 1 : 0; u <= x + 1 && u < b.width() && !near; ++u) {
          near = b.Get(u, v);
        }
      }
      stray += near ? 0 : 1;
    }
  }
  return stray;
}

class AppCupsTest : public AppTest {
 protected:
  void SetUp() override {
    AddPrinter("cupsq", "zova-qrt");
    CupsdConfig config;
    config.cupsd = ZOVA_CUPSD;
    config.serverBin = ZOVA_CUPS_SERVERBIN;
    std::string error;
    cupsd_ = PrivateCupsd::Start(config, &error);
    ASSERT_TRUE(cupsd_) << error;
  }

  // A form on a page of the size: a frame half an inch in, a line of text
  // and a filled box, as a PDF.
  std::string FormPdf(const std::string& name, double width, double height) const {
    const std::string ps = TempFile(name + ".ps"), pdf = TempFile(name + ".pdf");
    FILE* out = fopen(ps.c_str(), "w");
    if (out == nullptr) return "";
    fprintf(out,
            "%%!PS\n<< /PageSize [%.2f %.2f] >> setpagedevice\n2 setlinewidth\n"
            "36 36 moveto %.2f 36 lineto %.2f %.2f lineto 36 %.2f lineto closepath stroke\n"
            "/Helvetica findfont 14 scalefont setfont\n"
            "72 %.2f moveto (ACCOUNT 0012-3456789  BALANCE 1,234.56) show\n"
            "100 100 200 50 rectfill showpage\n",
            width, height, width - 36, width - 36, height - 36, height - 36, height - 80);
    fclose(out);
    const CommandResult gs = RunCommand({ZOVA_GS, "-q", "-dSAFER", "-dNOPAUSE", "-dBATCH",
                                         "-sDEVICE=pdfwrite", "-sOutputFile=" + pdf, ps});
    return gs.status == 0 ? pdf : "";
  }

  std::unique_ptr<PrivateCupsd> cupsd_;
};

TEST_F(AppCupsTest, EverywhereQueueIsValidAndPrintsFormsInPlace) {
  const CommandResult added = cupsd_->Client(
      {"lpadmin", "-p", "Q", "-E", "-v", app_->PrinterUri("cupsq"), "-m", "everywhere"});
  ASSERT_EQ(added.status, 0) << added.output;
  const auto ppd = cupsd_->dir() / "ppd" / "Q.ppd";
  for (auto waited = 0ms; !std::filesystem::exists(ppd) && waited < 10s; waited += 100ms) {
    std::this_thread::sleep_for(100ms);
  }
  const CommandResult test = RunCommand({ZOVA_CUPSTESTPPD, ppd.string()});
  EXPECT_EQ(test.status, 0) << test.output;
  EXPECT_NE(ReadFile(ppd).find("*DefaultPageSize: A4\n"), std::string::npos);

  const struct {
    const char *cups, *ipp;
    double width, height;  // points
  } kSizes[] = {{"A4", "iso_a4_210x297mm", 595.28, 841.89},
                {"Letter", "na_letter_8.5x11in", 612, 792}};
  for (const auto& size : kSizes) {
    SCOPED_TRACE(size.cups);
    const std::string pdf = FormPdf(size.cups, size.width, size.height);
    ASSERT_FALSE(pdf.empty());
    const std::vector<uint8_t> direct =
        PrintJob("cupsq", pdf, "application/pdf", {std::string("media=") + size.ipp});

    std::filesystem::remove(app_->Output("cupsq"));
    std::string error;
    const int id = cupsd_->Submit("Q", {std::string("media=") + size.cups}, pdf, &error);
    ASSERT_GT(id, 0) << error;
    // The ipp backend ends the queue's job once the printer's has ended.
    EXPECT_EQ(cupsd_->WaitForJobEnd(id, kJobTimeout).state, kJobCompleted) << cupsd_->ErrorLog();
    const std::vector<uint8_t> through_cups = ReadBytes(app_->Output("cupsq"));

    const preview::DecodedStream a = preview::DecodeStream(direct);
    const preview::DecodedStream b = preview::DecodeStream(through_cups);
    ASSERT_FALSE(a.error || b.error);
    ASSERT_EQ(a.pages.size(), 1u);
    ASSERT_EQ(b.pages.size(), 1u);
    const PackedBitmap &da = a.pages[0].dots, &db = b.pages[0].dots;
    const Box box = BoundingBox(da);
    printf(
        "%s: directly %zu dots, through CUPS %zu; box x %zu..%zu, y %zu..%zu and x %zu..%zu, "
        "y %zu..%zu\n",
        size.cups, da.Count(), db.Count(), box.left, box.right, box.top, box.bottom,
        BoundingBox(db).left, BoundingBox(db).right, BoundingBox(db).top, BoundingBox(db).bottom);
    // The frame's outer edge 35 points from each edge of the page, at 180
    // dots per inch: at full size, not shrunk or moved.
    EXPECT_NEAR(static_cast<double>(box.left), 35 * 2.5, 1.5);
    EXPECT_NEAR(static_cast<double>(box.top), 35 * 2.5, 1.5);
    EXPECT_NEAR(static_cast<double>(box.right), (size.width - 35) * 2.5, 1.5);
    EXPECT_NEAR(static_cast<double>(box.bottom), (size.height - 35) * 2.5, 1.5);
    EXPECT_EQ(BoundingBox(db), box);
    EXPECT_EQ(StrayDots(da, db), 0u);
    EXPECT_EQ(StrayDots(db, da), 0u);
  }
}

}  // namespace
}  // namespace zova::testing
