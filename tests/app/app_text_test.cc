// text/plain through the printer application: byte for byte texttozova's
// stream for the same options, the text options as printer defaults, the
// modelled time in the job's log, and hostile documents.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "app/app_test_fixture.h"
#include "support/process.h"

namespace zova::testing {
namespace {

using namespace std::chrono_literals;

class AppTextTest : public AppTest {
 protected:
  void SetUp() override { AddPrinter("text", "zova-qrt"); }

  // Three A4 pages at 6 lines per inch, with letters of Central Europe.
  std::string Document() const {
    const std::string path = TempFile("doc.txt");
    std::ofstream out(path);
    for (int i = 1; i <= 150; ++i) out << "Line " << i << ": Zażółć gęślą jaźń, 1.234,50 Kč\n";
    return path;
  }

  int Submit(const std::string& file, const std::vector<std::string>& options) {
    std::filesystem::remove(app_->Output("text"));
    std::vector<std::string> args = {"submit", "-d", "text", "-o", "document-format=text/plain"};
    for (const std::string& o : options) args.insert(args.end(), {"-o", o});
    args.push_back(file);
    const CommandResult submitted = app_->Command(args);
    const size_t at = submitted.output.find("text-");
    EXPECT_TRUE(submitted.status == 0 && at != std::string::npos) << submitted.output;
    return at == std::string::npos ? 0 : atoi(submitted.output.c_str() + at + 5);
  }

  std::vector<uint8_t> PrintText(const std::string& file, const std::vector<std::string>& options,
                                 int* id = nullptr) {
    const int job = Submit(file, options);
    if (id != nullptr) *id = job;
    EXPECT_EQ(app_->WaitForJobEnd("text", job, kJobTimeout), kJobCompleted) << app_->Log();
    return ReadBytes(app_->Output("text"));
  }

  static std::vector<uint8_t> Filter(const std::string& file, const std::string& options,
                                     const std::string& copies = "1") {
    ProcessOptions run = Command({ZOVA_TEXTTOZOVA, "1", "u", "t", copies, options, file});
    run.env["PPD"] = PpdPath("zovaqrt.ppd");
    const ProcessResult result = RunProcess(run);
    EXPECT_EQ(result.status, 0) << result.err;
    return std::vector<uint8_t>(result.out.begin(), result.out.end());
  }

  static bool Logged(int job, const std::string& text) {
    return app_->Log().find("[Job " + std::to_string(job) + "] " + text) != std::string::npos;
  }
};

TEST_F(AppTextTest, PrintsTexttozovasStream) {
  const std::string doc = Document();
  const std::string hostile = TempFile("hostile.txt");
  std::ofstream(hostile) << "bad \xff\xfe utf-8 \xc3(\n"
                         << std::string("\0\x01\x1b@\x0c\x80", 6) << "\nend\n";
  const struct {
    const char* name;
    std::string file;
    std::vector<std::string> app;
    std::string filter;
    std::string copies = "1";
  } kCases[] = {
      {"defaults", doc, {}, ""},
      {"options",
       doc,
       {"cpi=12", "lpi=8", "zova-character-table=pc852", "zova-text-quality=lq",
        "media=custom_passbook_140x180mm", "media-top-offset=2.5mm", "media-left-offset=-1mm"},
       "cpi=12 lpi=8 ZovaCharacterTable=PC852 ZovaTextQuality=LQ PageSize=140x180mm "
       "ZovaTopOffset=2.5 ZovaLeftOffset=-1"},
      {"native", doc, {"zova-command-set=native-commands"}, "ZovaCommandSet=Native"},
      {"copies", doc, {"copies=2", "page-ranges=2-3"}, "page-ranges=2-3", "2"},
      {"invalid bytes", hostile, {}, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    int id = 0;
    const std::vector<uint8_t> app = PrintText(c.file, c.app, &id);
    const std::vector<uint8_t> filter = Filter(c.file, c.filter, c.copies);
    ASSERT_FALSE(filter.empty());
    EXPECT_TRUE(app == filter) << "app " << app.size() << " bytes, filter " << filter.size();
    EXPECT_TRUE(Logged(id, "Modelled printing time: about ")) << app_->Log();
  }
}

TEST_F(AppTextTest, OffersTextAndItsDefaults) {
  auto attributes = app_->PrinterAttributes("text");
  const auto& formats = attributes["document-format-supported"];
  EXPECT_NE(std::find(formats.begin(), formats.end(), "text/plain"), formats.end());
  EXPECT_EQ(attributes["cpi-default"], std::vector<std::string>{"10"});

  const std::string doc = Document();
  std::string error;
  ASSERT_TRUE(app_->SetPrinterAttributes("text", {"cpi-default=12"}, &error)) << error;
  EXPECT_TRUE(PrintText(doc, {}) == Filter(doc, "cpi=12"));
  // A bad value is warned of; the printer's default prints.
  int id = 0;
  EXPECT_TRUE(PrintText(doc, {"lpi=7", "zova-character-table=pc999"}, &id) ==
              Filter(doc, "cpi=12"));
  EXPECT_TRUE(Logged(id, "Unknown lpi value")) << app_->Log();
  EXPECT_TRUE(Logged(id, "Unknown zova-character-table value")) << app_->Log();
  ASSERT_TRUE(app_->SetPrinterAttributes("text", {"cpi-default=10"}, &error)) << error;

  // Text as a picture is refused before the printer gets a byte.
  const int refused = Submit(doc, {"zova-text-as=graphics"});
  EXPECT_EQ(app_->WaitForJobEnd("text", refused, kJobTimeout), kJobAborted);
  EXPECT_TRUE(ReadBytes(app_->Output("text")).empty());
  EXPECT_TRUE(Logged(refused, "zova-text-as=graphics is not offered")) << app_->Log();
}

TEST_F(AppTextTest, RasterJobLogsItsTime) {
  const std::string png = TempFile("page.png");
  ASSERT_TRUE(WritePng(png, TextPage(PwgHeader("iso_a4_210x297mm", 180), 1).image, 180));
  ASSERT_FALSE(PrintJob("text", png, "image/png").empty()) << app_->Log();
  // A whole page the decoder knows: nothing left unmodelled.
  const std::string log = app_->Log();
  const size_t at = log.rfind("] Modelled printing time: about ");
  ASSERT_NE(at, std::string::npos) << log;
  const std::string line = log.substr(at, log.find('\n', at) - at);
  EXPECT_NE(line.find("(1 page)."), std::string::npos) << line;
  RecordProperty("modelled", line);
}

// A huge text is read as it prints, never held: the server grows by far
// less than the document, and a cancel ends it.
TEST_F(AppTextTest, HugeTextStaysBoundedAndCancels) {
  const std::string huge = TempFile("huge.txt");
  {
    std::ofstream out(huge);
    const std::string line(79, 'x');
    for (int i = 0; i < 600000; ++i) out << line << '\n';  // 48 MB
  }
  const auto rss_kb = [] {
    std::ifstream status("/proc/" + std::to_string(app_->pid()) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmRSS:", 0) == 0) return atol(line.c_str() + 6);
    }
    return 0L;
  };
  const long before = rss_kb();
  const int id = Submit(huge, {});
  ASSERT_GT(id, 0);
  auto completed = [&] {
    const auto a = app_->JobAttributes("text", id)["job-impressions-completed"];
    return a.empty() ? 0 : atoi(a[0].c_str());
  };
  for (auto waited = 0ms; completed() < 20 && waited < kJobTimeout; waited += 50ms) {
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_GE(completed(), 20);
  // AddressSanitizer keeps freed memory aside (its quarantine): the bound
  // holds for the build users run.
  if (!kAddressSanitizer) {
    EXPECT_LT(rss_kb() - before, 32 * 1024);
  }
  ASSERT_TRUE(app_->CancelJob("text", id));
  EXPECT_EQ(app_->WaitForJobEnd("text", id, 30s), kJobCanceled);
}

}  // namespace
}  // namespace zova::testing
