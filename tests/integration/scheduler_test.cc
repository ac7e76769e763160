// Whole jobs through a private CUPS scheduler: queues with the driver's PPDs
// and a file device, jobs submitted with lp and cancelled with cancel, and
// the printer stream, the scheduler's page counters and its error log checked
// afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "dotmatrix/commands.h"
#include "integration/driver_cupsd.h"
#include "preview/stream_decoder.h"
#include "support/memory_sink.h"
#include "support/poll.h"

namespace zova::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using preview::DecodedPage;
using preview::DecodedStream;
using preview::DecodeStream;
using preview::Dialect;
using zova::testing::Hex;

// Generous: the sanitizer build runs the filter several times slower.
constexpr auto kJobTimeout = 180s;

// LQ page setups for an A4 page (70 lines of 1/6 inch) and a Letter page (66).
constexpr const char* kLqA4At180 = "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 08";
constexpr const char* kLqA4At240 = "1B 40 1B 36 1C 78 31 1B 55 31 1B 32 1B 43 46 1B 33 18";
constexpr const char* kOkidataLetterAt360 =
    "1B 7B 41 1B 40 1B 36 1C 78 31 1B 55 31 1B 32 1B 43 42 1B 2B 08";
constexpr const char* kNativeA4 = "1B 4E 1B 25 42 1B 36 1B 46 07 00";

fs::path PpdPath(const char* name) { return fs::path(ZOVA_PPD_DIR) / name; }

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  const std::string text = ReadFile(path);
  return {text.begin(), text.end()};
}

// The first page's setup: its commands before the first carriage return (or
// form feed, on a page without a band).
std::string FirstPageSetup(const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> setup;
  for (size_t i = kPreambleLength; i < stream.size() && stream[i] != 0x0D && stream[i] != 0x0C;
       ++i) {
    setup.push_back(stream[i]);
  }
  return Hex(setup);
}

// The stream's last bytes: the last page's form feed and the job end.
std::string Ending(const std::vector<uint8_t>& stream, size_t n) {
  return Hex({stream.end() - static_cast<long>(std::min(n, stream.size())), stream.end()});
}

// Lines of a job's log that tell of a failed filter or backend.
std::vector<std::string> FailureLines(const std::vector<std::string>& log) {
  static const std::regex kFailure(
      "stopped with status|crashed on signal|Job stopped due to|Backend returned status|"
      "Unable to run|AddressSanitizer|runtime error");
  std::vector<std::string> failures;
  for (const std::string& line : log) {
    if (std::regex_search(line, kFailure)) failures.push_back(line);
  }
  return failures;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The "total N" line that the scheduler writes to page_log at a job's end.
int PageLogTotal(const std::string& page_log, const std::string& queue, int job) {
  std::smatch match;
  const std::regex line(queue + " \\S+ " + std::to_string(job) + " \\[[^\\]]*\\] total (\\d+)");
  return std::regex_search(page_log, match, line) ? std::stoi(match[1]) : -1;
}

class SchedulerTest : public DriverCupsdTest {
 protected:
  void SetUp() override {
    DriverCupsdTest::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    for (const auto& [queue, ppd] :
         {std::pair{"zova", "zovaqrt.ppd"}, std::pair{"zovaoki", "zovaqrto.ppd"}}) {
      ASSERT_TRUE(cupsd_->AddQueue(queue, PpdPath(ppd), Output(queue), &error)) << error;
    }
  }
};

TEST_F(SchedulerTest, QueuesOfferTheDriverModelsAndTheirChoices) {
  for (const auto& [queue, model] :
       {std::pair{"zova", "ZOVA-QRT, 1.0"}, std::pair{"zovaoki", "ZOVA-QRT OKIDATA, 1.0"}}) {
    SCOPED_TRACE(queue);
    const CommandResult state = cupsd_->Client({"lpstat", "-p", queue});
    EXPECT_NE(state.output.find("is idle"), std::string::npos) << state.output;
    EXPECT_NE(state.output.find("enabled"), std::string::npos) << state.output;

    // What the scheduler made of the PPD, as clients see it.
    auto attributes = cupsd_->PrinterAttributes(queue);
    EXPECT_EQ(attributes["printer-make-and-model"], std::vector<std::string>{model});
    EXPECT_EQ(attributes["printer-resolution-default"], std::vector<std::string>{"180x180dpi"});
    EXPECT_EQ(attributes["printer-resolution-supported"],
              (std::vector<std::string>{"180x180dpi", "360x360dpi", "120x120dpi", "60x60dpi",
                                        "240x240dpi"}));
    EXPECT_EQ(attributes["media-default"], std::vector<std::string>{"iso_a4_210x297mm"});
    // Cut sheets, continuous forms, passbooks, and custom sizes from a 3 inch
    // square to a 15 x 22 inch form.
    EXPECT_EQ(attributes["media-supported"],
              (std::vector<std::string>{
                  "iso_a4_210x297mm", "na_letter_8.5x11in", "na_legal_8.5x14in", "iso_a5_148x210mm",
                  "custom_9.5x11in_9.5x11in", "custom_15x11in_15x11in",
                  "custom_140x180mm_140x180mm", "custom_180x140mm_180x140mm", "iso_b6_125x176mm",
                  "custom_min_3x3in", "custom_max_15x22in"}));
  }
}

struct JobCase {
  const char* name;
  const char* queue;
  std::string file;
  std::vector<std::string> options;
  size_t pages;
  const char* setup;  // the first page's setup bytes
  Dialect dialect;
  unsigned dpi[2];     // of the bands, horizontal and vertical
  const char* ending;  // form feed and job end
};

TEST_F(SchedulerTest, JobsCompleteAsPrinterStreamsOfTheChosenSettings) {
  // clang-format off
  const std::vector<JobCase> cases = {
      // Text drawn as graphics goes the raster route, as any page does.
      {"text, defaults", "zova", ZOVA_TEXT_FILE, {"ZovaTextAs=Graphics"},
       1, kLqA4At180, Dialect::kLq, {180, 180}, "0C 1B 40"},
      // 360 dpi text is printed at 180 dpi.
      {"text, OKIDATA, 360 dpi, Letter", "zovaoki", ZOVA_TEXT_FILE,
       {"ZovaTextAs=Graphics", "Resolution=360dpi", "media=Letter"},
       1, kOkidataLetterAt360, Dialect::kLq, {180, 180}, "0C 1B 40"},
      // Page 2 is a picture page, halftoned by zova_ID. Native bands carry
      // no density of their own.
      {"PDF, native, 120 dpi", "zova", ZOVA_SAMPLE_PDF,
       {"ZovaCommandSet=Native", "Resolution=120dpi"},
       2, kNativeA4, Dialect::kNative, {180, 180}, "0C"},
      {"PNG photo, LQ, 240 dpi", "zova", ZOVA_SAMPLE_PNG, {"Resolution=240dpi"},
       1, kLqA4At240, Dialect::kLq, {240, 180}, "0C 1B 40"},
  };
  // clang-format on
  for (const JobCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    const int job = cupsd_->Submit(c.queue, c.options, c.file, &error);
    ASSERT_GT(job, 0) << error;
    const JobStatus status = cupsd_->WaitForJobEnd(job, kJobTimeout);
    const std::vector<std::string> log = cupsd_->JobLog(job);
    ASSERT_EQ(status.state, kJobCompleted) << status.stateMessage << "\n" << Join(log);
    EXPECT_EQ(Join(FailureLines(log)), "");
    // The filter's diagnostics are debug lines: a job that prints leaves no
    // error in the scheduler's log, and its state says what it did.
    const std::string printed = "Set job-printer-state-message to \"Printed " +
                                std::to_string(c.pages) + (c.pages == 1 ? " page" : " pages") +
                                "\", current level=INFO";
    bool told = false;
    for (const std::string& line : log) {
      EXPECT_FALSE(line.starts_with("E ")) << line;
      told |= line.ends_with(printed);
    }
    EXPECT_TRUE(told) << Join(log);
    EXPECT_EQ(status.stateMessage.find("PAGE:"), std::string::npos) << status.stateMessage;

    // The decoder takes only streams the filter writes: the preamble, pages
    // that end with a form feed, the job end.
    const std::vector<uint8_t> bytes = ReadBytes(Output(c.queue));
    const DecodedStream stream = DecodeStream(bytes);
    ASSERT_FALSE(stream.error) << "byte " << stream.error->offset << ": " << stream.error->message;
    ASSERT_EQ(stream.pages.size(), c.pages);
    EXPECT_EQ(FirstPageSetup(bytes), c.setup);
    for (const DecodedPage& page : stream.pages) {
      EXPECT_EQ(page.dialect, c.dialect);
      EXPECT_EQ(page.geometry.HorizontalDpi, c.dpi[0]);
      EXPECT_EQ(page.geometry.VerticalDpi, c.dpi[1]);
      EXPECT_GT(page.dot_count, 0u) << "a page without a dot";
    }
    EXPECT_EQ(Ending(bytes, c.dialect == Dialect::kLq ? 3 : 1), c.ending);

    // Page accounting comes from the filter's "PAGE: n 1" lines.
    EXPECT_EQ(status.mediaSheetsCompleted, static_cast<int>(c.pages));
    EXPECT_EQ(PageLogTotal(cupsd_->PageLog(), c.queue, job), static_cast<int>(c.pages));
  }
}

TEST_F(SchedulerTest, CancelledJobEndsItsPageAndLeavesNoSpoolFile) {
  // Raster straight to the filter: a page of text at 360 dpi and 39 blank
  // ones, long enough to cancel in the middle and quick to make.
  const fs::path raster = cupsd_->dir() / "long.ras";
  std::vector<std::string> argv = {ZOVA_TESTPAGE, raster.string(), "text:LQ:360"};
  for (int i = 1; i < 40; ++i) argv.push_back("white:LQ:360");
  const CommandResult made = RunCommand(argv);
  ASSERT_EQ(made.status, 0) << made.output;

  std::string error;
  const int job = cupsd_->Submit("zova", {}, raster.string(), &error);
  ASSERT_GT(job, 0) << error;
  // Cancel once the first page is out: the filter has counted it (the page
  // announcement "V1.0 PAGE: 1 ..." comes before the page, this after).
  const std::regex page_done("\\] PAGE: 1 1$");
  bool printing = false;
  for (auto waited = 0ms; !printing && waited < kJobTimeout; waited += 100ms) {
    for (const std::string& line : cupsd_->JobLog(job)) {
      printing |= std::regex_search(line, page_done);
    }
    if (!printing) std::this_thread::sleep_for(100ms);
  }
  ASSERT_TRUE(printing) << Join(cupsd_->JobLog(job));
  const CommandResult cancelled = cupsd_->Client({"cancel", std::to_string(job)});
  ASSERT_EQ(cancelled.status, 0) << cancelled.output;

  const JobStatus status = cupsd_->WaitForJobEnd(job, kJobTimeout);
  ASSERT_EQ(status.state, kJobCanceled) << Join(cupsd_->JobLog(job));
  // The scheduler reports the job's end before the filter has written its
  // last page: wait for the filter to go.
  bool filter_done = false;
  for (auto waited = 0ms; !filter_done && waited < 30s; waited += 100ms) {
    for (const std::string& line : cupsd_->JobLog(job)) {
      filter_done |= std::regex_search(line, std::regex("PID \\d+ \\(.*rastertozova\\)"));
    }
    if (!filter_done) std::this_thread::sleep_for(100ms);
  }
  ASSERT_TRUE(filter_done) << Join(cupsd_->JobLog(job));
  EXPECT_EQ(Join(FailureLines(cupsd_->JobLog(job))), "");

  const std::vector<uint8_t> bytes = ReadBytes(Output("zova"));
  const DecodedStream stream = DecodeStream(bytes);
  ASSERT_FALSE(stream.error) << "byte " << stream.error->offset << ": " << stream.error->message;
  ASSERT_GE(stream.pages.size(), 1u);
  EXPECT_LT(stream.pages.size(), 40u) << "the job ran to its end before the cancel";
  EXPECT_GT(stream.pages[0].dot_count, 0u) << "the text page printed nothing";
  EXPECT_EQ(Ending(bytes, 3), "0C 1B 40");

  const std::string prefix = "nfet" + std::to_string(job) + "_";
  for (const fs::directory_entry& entry : fs::directory_iterator("/tmp")) {
    EXPECT_NE(entry.path().filename().string().rfind(prefix, 0), 0u)
        << "spool file left behind: " << entry.path();
  }
}

// A document the filters cannot read. CUPS stops a job whose filter fails,
// whatever the queue's printer-error-policy (that one governs the printer's
// connection): the job waits, processing-stopped, with the filter's last
// error as its reason, while the queue goes on to the next job; cancel ends it.
TEST_F(SchedulerTest, AJobTheFiltersCannotPrintStopsWithItsReasonAndTheQueueGoesOn) {
  const fs::path not_pdf = cupsd_->dir() / "statement.pdf";
  std::ofstream(not_pdf) << "Statement of account, not a PDF\n";
  const fs::path truncated = cupsd_->dir() / "truncated.pdf";
  const std::string sample = ReadFile(ZOVA_SAMPLE_PDF);
  std::ofstream(truncated, std::ios::binary) << sample.substr(0, sample.size() / 3);
  const CommandResult set =
      cupsd_->Client({"lpadmin", "-p", "zova", "-o", "printer-error-policy=abort-job"});
  ASSERT_EQ(set.status, 0) << set.output;

  for (const fs::path& file : {not_pdf, truncated}) {
    SCOPED_TRACE(file.filename());
    std::string error;
    const int job = cupsd_->Submit("zova", {}, file.string(), &error);
    ASSERT_GT(job, 0) << error;
    JobStatus status;
    EXPECT_TRUE(
        PollUntil([&] { return (status = cupsd_->Job(job)).state == kJobStopped; }, kJobTimeout));
    // As lpstat -l -o shows it to the operator.
    EXPECT_FALSE(status.stateMessage.empty());
    const std::string listed = cupsd_->Client({"lpstat", "-l", "-o", "zova"}).output;
    EXPECT_NE(
        listed.find("\tStatus: " + status.stateMessage + "\n\tAlerts: job-completed-with-errors"),
        std::string::npos)
        << listed;
    const int next = cupsd_->Submit("zova", {}, ZOVA_TEXT_FILE, &error);
    EXPECT_EQ(cupsd_->WaitForJobEnd(next, kJobTimeout).state, kJobCompleted);
    const CommandResult cancelled = cupsd_->Client({"cancel", std::to_string(job)});
    EXPECT_EQ(cancelled.status, 0) << cancelled.output;
    EXPECT_EQ(cupsd_->WaitForJobEnd(job, kJobTimeout).state, kJobCanceled);
  }
}

// Share of the dots printed in [x0, x1) x [y0, y1) of a page.
double Coverage(const DecodedPage& page, size_t x0, size_t x1, size_t y0, size_t y1) {
  size_t dots = 0;
  for (size_t y = y0; y < y1 && y < page.dots.height(); ++y) {
    for (size_t x = x0; x < x1 && x < page.dots.width(); ++x) dots += page.dots.Get(x, y);
  }
  return static_cast<double>(dots) / static_cast<double>((x1 - x0) * (y1 - y0));
}

TEST_F(SchedulerTest, PrintAsChoiceFromTheJobAndTheQueue) {
  std::string error;
  ASSERT_TRUE(cupsd_->AddQueue("zovamixed", PpdPath("zovaqrt.ppd"), Output("zovamixed"), &error))
      << error;
  const CommandResult set =
      cupsd_->Client({"lpadmin", "-p", "zovamixed", "-o", "ZovaPrintAs=Mixed"});
  ASSERT_EQ(set.status, 0) << set.output;

  // Each job's stream, decoded.
  std::map<std::string, std::vector<uint8_t>> streams;
  auto print = [&](const std::string& name, const char* queue, const std::string& file,
                   const std::vector<std::string>& options) -> DecodedPage {
    SCOPED_TRACE(name);
    const int job = cupsd_->Submit(queue, options, file, &error);
    EXPECT_GT(job, 0) << error;
    const JobStatus status = cupsd_->WaitForJobEnd(job, kJobTimeout);
    EXPECT_EQ(status.state, kJobCompleted) << status.stateMessage;
    streams[name] = ReadBytes(Output(queue));
    const DecodedStream stream = DecodeStream(streams[name]);
    EXPECT_FALSE(stream.error);
    EXPECT_EQ(stream.pages.size(), 1u);
    return stream.pages.empty() ? DecodedPage{} : stream.pages[0];
  };
  // The form's picture and text, in dots at 180 dpi, a little inside.
  const auto picture = [](const DecodedPage& page) { return Coverage(page, 920, 1275, 510, 722); };
  const auto text = [](const DecodedPage& page) {
    std::string dots;
    for (size_t y = 333; y < 1600; ++y) {
      for (size_t x = 142; x < 760; ++x) dots += page.dots.Get(x, y) ? 'X' : '.';
    }
    return dots;
  };

  const DecodedPage automatic = print("form, Auto", "zova", ZOVA_FORM_PDF, {});
  const DecodedPage as_text = print("form, Text", "zova", ZOVA_FORM_PDF, {"ZovaPrintAs=Text"});
  const DecodedPage mixed = print("form, Mixed", "zova", ZOVA_FORM_PDF, {"ZovaPrintAs=Mixed"});
  const DecodedPage by_queue = print("form, queue default", "zovamixed", ZOVA_FORM_PDF, {});
  // Mostly text, the form is a text page: its picture prints as a black
  // block. Printed region by region, the picture keeps its tones and the
  // text prints as on a text page.
  EXPECT_GT(picture(automatic), 0.95);
  EXPECT_GT(picture(as_text), 0.95);
  EXPECT_GT(picture(mixed), 0.05);
  EXPECT_LT(picture(mixed), 0.95);
  EXPECT_EQ(text(mixed), text(as_text));
  EXPECT_TRUE(streams["form, queue default"] == streams["form, Mixed"]);

  // A picture alone prints the same either way.
  const DecodedPage photo =
      print("photo, Picture", "zova", ZOVA_LANDSCAPE_PNG, {"ZovaPrintAs=Picture"});
  print("photo, Mixed", "zova", ZOVA_LANDSCAPE_PNG, {"ZovaPrintAs=Mixed"});
  EXPECT_TRUE(streams["photo, Mixed"] == streams["photo, Picture"]);
  EXPECT_GT(photo.dot_count, 0u);
}

}  // namespace
}  // namespace zova::testing
