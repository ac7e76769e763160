// zova-document-text=fonts through the printer application: a PDF's stream
// byte for byte pdftozova's for the same document and options, PostScript's
// text read back as the PDF's, and the native set's refusal in the log.
#include <gtest/gtest.h>

#include "app/app_test_fixture.h"
#include "preview/page_text.h"
#include "preview/stream_decoder.h"
#include "support/process.h"

namespace zova::testing {
namespace {

class AppDocumentTextTest : public AppTest {
 protected:
  void SetUp() override { AddPrinter("docs", "zova-qrt"); }

  // Submitted as a user does, the job's stream once it has completed.
  std::vector<uint8_t> Submit(const std::string& file, const std::vector<std::string>& options) {
    std::filesystem::remove(app_->Output("docs"));
    std::vector<std::string> args = {"submit", "-d", "docs"};
    for (const std::string& o : options) args.insert(args.end(), {"-o", o});
    args.push_back(file);
    const CommandResult submitted = app_->Command(args);
    const size_t at = submitted.output.find("docs-");
    EXPECT_TRUE(submitted.status == 0 && at != std::string::npos) << submitted.output;
    const int job = at == std::string::npos ? 0 : atoi(submitted.output.c_str() + at + 5);
    EXPECT_EQ(app_->WaitForJobEnd("docs", job, kJobTimeout), kJobCompleted) << app_->Log();
    return ReadBytes(app_->Output("docs"));
  }

  static std::vector<uint8_t> Filter(const std::string& file, const std::string& options) {
    ProcessOptions run = Command({ZOVA_PDFTOZOVA, "1", "u", "t", "1", options, file});
    run.env["PPD"] = PpdPath("zovaqrt.ppd");
    run.env["PATH"] = std::string(ZOVA_HALFTONE_DIR) + ":" + getenv("PATH");
    const ProcessResult result = RunProcess(run);
    EXPECT_EQ(result.status, 0) << result.err;
    return std::vector<uint8_t>(result.out.begin(), result.out.end());
  }

  static std::string TextOf(const std::vector<uint8_t>& stream) {
    const preview::DecodedStream decoded = preview::DecodeStream(stream);
    EXPECT_FALSE(decoded.error);
    return decoded.pages.empty() ? "" : preview::PageText(decoded.pages[0]);
  }
};

// On US Letter, which both routes draw 1530 x 1980 dots at 180 dpi: A4's
// 297 mm is 2104 rows to PAPPL and 2105 (842 points) to gstoraster, so the
// two draw an A4 page 1/3 point apart, text and graphics alike.
TEST_F(AppDocumentTextTest, PrintsPdftozovasStream) {
  const std::string ps = std::string(ZOVA_TEST_DATA) + "/statement.ps";
  const std::string pdf = TempFile("statement.pdf");
  ASSERT_EQ(RunProcess(Command({ZOVA_GS, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dLETTER",
                                "-sDEVICE=pdfwrite", "-sOutputFile=" + pdf, ps}))
                .status,
            0);
  const struct {
    const char* name;
    std::vector<std::string> app;
    std::string filter;
  } kCases[] = {
      {"defaults", {"zova-document-text=fonts"}, "ZovaDocumentText=Fonts"},
      {"as drawn", {}, ""},
      {"options",
       {"zova-document-text=fonts", "zova-text-quality=lq", "zova-character-table=pc850",
        "media-top-offset=2.5mm", "media-left-offset=-1mm"},
       "ZovaDocumentText=Fonts ZovaTextQuality=LQ ZovaCharacterTable=PC850 ZovaTopOffset=2.5 "
       "ZovaLeftOffset=-1"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> app_options = c.app;
    app_options.push_back("media=na_letter_8.5x11in");
    const std::vector<uint8_t> app = Submit(pdf, app_options);
    const std::vector<uint8_t> filter = Filter(pdf, c.filter + " PageSize=Letter");
    EXPECT_EQ(TextOf(filter).find("Closing balance") != std::string::npos, !c.app.empty());
    EXPECT_TRUE(app == filter) << "app " << app.size() << " bytes, filter " << filter.size();
  }

  // PostScript's text as the PDF's, on A4.
  const std::string a4 = TempFile("statement-a4.pdf");
  ASSERT_EQ(RunProcess(Command({ZOVA_GS, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE",
                                "-sDEVICE=pdfwrite", "-sOutputFile=" + a4, ps}))
                .status,
            0);
  const std::vector<uint8_t> from_ps =
      PrintJob("docs", ps, "application/postscript", {"zova-document-text=fonts"});
  EXPECT_EQ(TextOf(from_ps), TextOf(Filter(a4, "ZovaDocumentText=Fonts")));

  // The native set cannot place text: the log says so, the page prints as
  // drawn.
  const std::vector<uint8_t> native =
      PrintJob("docs", pdf, "application/pdf",
               {"zova-document-text=fonts", "zova-command-set=native-commands"});
  EXPECT_TRUE(native ==
              PrintJob("docs", pdf, "application/pdf", {"zova-command-set=native-commands"}));
  EXPECT_NE(app_->Log().find("zova-document-text=fonts needs the LQ command set"),
            std::string::npos);
}

}  // namespace
}  // namespace zova::testing
