// The printer's modelled time: hand-made pages whose time follows from the
// model's definition (print_time.h) with its data-sheet defaults, the sample
// text page against the issue's estimate, and zova-preview's --time options.
#include "preview/print_time.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "preview/stream_decoder.h"
#include "support/hand_made_stream.h"
#include "support/print_job.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "testpage/testpage.h"

namespace zova {
namespace {

using testing::Bytes;
using testing::operator+;

// The data sheet: 12 in/s at 180 dpi, slew at the 48 in/s of high-speed
// draft, 35 ms per 1/6-inch line feed, 330 mm/s paper.
constexpr double kPrint180 = 12, kSlew = 48;
constexpr double kStartStop = 0.035 - 25.4 / 6 / 330;
double Move(double inches) { return kStartStop + inches * 25.4 / 330; }

// `blank` empty columns, then `dots` columns with their top dot.
Bytes Band(size_t blank, size_t dots) {
  Bytes columns((blank + dots) * 3, 0);
  for (size_t c = blank; c < blank + dots; ++c) columns[c * 3] = 0x80;
  return Bytes{0x0D} + testing::LqImage(0x27, columns);
}

// A one-page LQ job, 12 lines (2 inches) long.
Bytes LqJob(const Bytes& body) {
  return testing::Job(testing::kLqStart + Bytes{0x1B, 'C', 12} + testing::kUnit180 + body +
                      Bytes{0x0C} + testing::kJobEnd);
}

double PageTime(const Bytes& stream) {
  const preview::DecodedStream decoded = preview::DecodeStream(stream);
  EXPECT_FALSE(decoded.error) << decoded.error->message;
  EXPECT_EQ(decoded.pages.size(), 1u);
  if (decoded.pages.empty()) return -1;
  return preview::EstimatePrintTime(decoded.pages[0], preview::TimeModel{}).Total();
}

TEST(PrintTimeTest, HandMadePagesTakeWhatTheModelSays) {
  const Bytes feed = testing::LqFeed(24);  // one band, 24/180 inch
  const Bytes uni = {0x1B, 'U', 1};
  const struct {
    const char* what;
    Bytes stream;
    double seconds;
  } cases[] = {
      // 180 columns are an inch; the head first slews past 2 blank ones.
      {"one band, an inch of dots", LqJob(Band(2, 180)),
       2.0 / 180 / kSlew + 1 / kPrint180 + Move(2)},
      // The second band (half an inch) starts at its right end, half an inch away...
      {"two bands, bidirectional", LqJob(Band(0, 180) + feed + Band(0, 90)),
       1.5 / kPrint180 + 0.5 / kSlew + Move(24.0 / 180) + Move(2 - 24.0 / 180)},
      // ... or unidirectionally at its left end, an inch back.
      {"two bands, unidirectional", LqJob(uni + Band(0, 180) + feed + Band(0, 90)),
       1.5 / kPrint180 + 1 / kSlew + Move(24.0 / 180) + Move(2 - 24.0 / 180)},
      // Three blank bands: one move of 72/180 inch, no pass; the last band
      // starts where the first ended.
      {"blank bands", LqJob(Band(0, 180) + feed + Band(30, 0) + feed + feed + Band(0, 180)),
       2 / kPrint180 + Move(0.4) + Move(1.6)},
      // ESC F 3 0: 30 lines, 5 inches, and nothing printed.
      {"a native form feed", testing::Job(testing::kNativeStart + Bytes{0x1B, 'F', 3, 0, 0x0C}),
       Move(5)},
  };
  for (const auto& c : cases) EXPECT_NEAR(PageTime(c.stream), c.seconds, 1e-9) << c.what;

  // The head's speed by density as the data sheet implies it.
  const std::pair<unsigned, double> speeds[] = {
      {60, 36}, {120, 18}, {180, 12}, {240, 18}, {360, 12}};
  for (const auto& [dpi, speed] : speeds) {
    EXPECT_DOUBLE_EQ(preview::GraphicsHeadSpeed(preview::TimeModel{}, dpi), speed) << dpi;
  }
}

TEST(PrintTimeTest, MovesOnALineAreSlewAndBlankEndsPrintUnlessTheHeadSeeks) {
  // Half an inch of dots, ESC $ to an inch (LqJob's 1/180 inch units), half
  // an inch more: one sweep, the half inch between slewed.
  const Bytes first = Band(0, 90);
  const Bytes moved = Bytes{0x1B, '$', 180, 0} + Bytes(first.begin() + 1, first.end());
  EXPECT_NEAR(PageTime(LqJob(first + moved)), 1 / kPrint180 + 0.5 / kSlew + Move(2), 1e-9);
  // 2 blank columns, then an inch of dots: printed from the first column
  // where the head does not seek the first dot.
  const preview::DecodedStream decoded = preview::DecodeStream(LqJob(Band(2, 180)));
  ASSERT_EQ(decoded.pages.size(), 1u);
  preview::TimeModel sending;
  sending.seek_first_dot = 0;
  EXPECT_NEAR(preview::EstimatePrintTime(decoded.pages[0], sending).Total(),
              182.0 / 180 / kPrint180 + Move(2), 1e-9);
}

TEST(PrintTimeTest, SampleTextPageNearTheIssuesEstimate) {
  // The issue: an A4 text page at 180 dpi is about 90 passes of ~6.8 inches
  // at 12 in/s and a 35 ms line feed each; 2105 rows are 88 bands of 24. The
  // LQ set shingles 180-dpi pages, each band in two passes of half its
  // columns; the native set prints a band in one.
  const double per_pass = 6.8 / 12 + 0.035;
  const PackedBitmap text = testpage::TextBitmap(1487, 2105, 1, 180);
  const struct {
    const char* set;
    double seconds;
  } cases[] = {{"LQ", 2 * 88 * per_pass}, {"ZOVA", 88 * per_pass}};
  for (const auto& c : cases) {
    const double seconds = PageTime(testing::PrintPage(c.set, 180, 180, text));
    EXPECT_NEAR(seconds, c.seconds, c.seconds * 0.1) << c.set;
  }
}

TEST(PrintTimeTest, ProgramReportsTimesAndRefusesBadParameters) {
  const testing::TempDir dir;
  const std::string stream = dir.File("job.prn");
  const Bytes page = testing::Job(testing::kNativeStart + Bytes{0x1B, 'F', 3, 0, 0x0C});
  std::ofstream(stream, std::ios::binary)
      .write(reinterpret_cast<const char*>(page.data()), static_cast<long>(page.size()));
  std::ofstream(dir.File("model")) << "# 5 in/s paper\nfeed-mm-per-s = 127\n\nline-feed-ms=100\n";
  std::ofstream(dir.File("bad-model")) << "lq-cps=120\nlq_cps=120\n";
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {ZOVA_PREVIEW_PROGRAM, stream, "-o", dir.File("out")});
    return testing::RunProcess(testing::Command(args));
  };

  // 5 inches at 5 in/s, and 100 ms less the 1/30 s of a line's travel.
  const std::string timed =
      "page-1.png: native, 180x180 dpi (density not in the stream), 0x900 dots, 0 bands, 0 dots "
      "printed, about 1.1 s\njob 1: 1 page, about 1.1 s\n";
  EXPECT_EQ(run({"--time-model", dir.File("model")}).out, timed);
  EXPECT_EQ(run({"--time-set", "feed-mm-per-s=127", "--time-set", "line-feed-ms=100"}).out, timed);
  // The data sheet's: 5 inches at 330 mm/s after 22 ms.
  EXPECT_TRUE(run({"--time"}).out.ends_with("printed, about 0.4 s\njob 1: 1 page, about 0.4 s\n"));

  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"--time-set", "speed=2"}, "ERROR: --time-set: unknown time parameter \"speed\" (known: "},
      {{"--time-set", "lq-cps=fast"}, "ERROR: --time-set: bad lq-cps value \"fast\": a number"},
      {{"--time-set", "lq-cps=0"}, "ERROR: --time-set: bad lq-cps value \"0\""},
      {{"--time-set", "slew-ips=inf"}, "ERROR: --time-set: bad slew-ips value \"inf\""},
      {{"--time-set", "default-page-lines=6.5"}, "ERROR: --time-set: bad default-page-lines"},
      {{"--time-model", dir.File("bad-model")},
       "ERROR: " + dir.File("bad-model") + ":2: unknown time parameter \"lq_cps\""},
      {{"--time-model", dir.File("none")}, "ERROR: cannot read " + dir.File("none")},
      {{"--time-set", "line-feed-ms=5"}, "ERROR: line-feed-ms 5 is shorter than 1/6 inch takes"},
  };
  for (const auto& [args, error] : refused) {
    const testing::ProcessResult r = run(args);
    EXPECT_EQ(r.status, 1) << args[1];
    EXPECT_EQ(r.err.rfind(error, 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace zova
