// PDF and PostScript jobs through a private CUPS scheduler, whose chain now
// ends in pdftozova: byte for byte what the queue printed before it, unless
// the job asks for its text in the printer's fonts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "integration/driver_cupsd.h"
#include "preview/page_text.h"
#include "preview/stream_decoder.h"

namespace zova::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class PdfQueueTest : public DriverCupsdTest {
 protected:
  void SetUp() override {
    DriverCupsdTest::SetUp();
    if (HasFatalFailure()) return;
    AddQueuesWithAndWithout("pdftozova");
    if (HasFatalFailure()) return;
    // The scheduler's user reads the documents from here.
    statement_ = (cupsd_->dir() / "statement.ps").string();
    fs::copy_file(ZOVA_STATEMENT_PS, statement_);
    fs::permissions(statement_, fs::perms::others_read, fs::perm_options::add);
  }

  std::string statement_;
};

TEST_F(PdfQueueTest, WithoutTheChoiceEveryDocumentPrintsAsTheQueuePrintedIt) {
  const struct {
    std::string file;
    std::vector<std::string> options;
  } cases[] = {
      {ZOVA_SAMPLE_PDF, {}},
      {ZOVA_SAMPLE_PDF, {"Resolution=360dpi"}},
      {ZOVA_SAMPLE_PDF, {"ZovaCommandSet=Native"}},
      {ZOVA_SAMPLE_PDF, {"media=Letter", "ZovaPrintAs=Mixed"}},
      {ZOVA_SAMPLE_PDF, {"copies=2"}},
      {ZOVA_SAMPLE_PDF, {"page-ranges=2"}},
      {statement_, {}},
      {ZOVA_SAMPLE_PNG, {}},
  };
  for (const auto& c : cases) {
    std::string what = c.file;
    for (const std::string& o : c.options) what += " " + o;
    const std::string today = Print("raster", c.options, c.file);
    const std::string now = Print("zova", c.options, c.file);
    EXPECT_GT(today.size(), 10000u) << what;
    EXPECT_TRUE(now == today) << what << ": " << now.size() << " bytes, not " << today.size();
  }
}

// PostScript comes to pdftozova as PDF: its text prints as text, by the
// job's choice or the queue's.
TEST_F(PdfQueueTest, PostScriptPrintsItsMonospacedTextInThePrintersFonts) {
  const auto text_of = [&](const std::string& stream) {
    const preview::DecodedStream decoded =
        preview::DecodeStream(reinterpret_cast<const uint8_t*>(stream.data()), stream.size());
    EXPECT_FALSE(decoded.error);
    return decoded.pages.size() == 1 ? preview::PageText(decoded.pages[0]) : std::string();
  };
  const std::string from_ps =
      text_of(Print("zova", {"ZovaDocumentText=Fonts", "ZovaTextQuality=LQ"}, statement_));
  EXPECT_NE(from_ps.find("2026-01-30  Card payment SHOP 12    -15.30     1,934.56\n"),
            std::string::npos)
      << from_ps;
  // The queue's default reaches the job.
  const CommandResult set =
      cupsd_->Client({"lpadmin", "-p", "zova", "-o", "ZovaDocumentText=Fonts"});
  ASSERT_EQ(set.status, 0) << set.output;
  EXPECT_EQ(text_of(Print("zova", {"ZovaTextQuality=LQ"}, statement_)), from_ps);
}

}  // namespace
}  // namespace zova::testing
