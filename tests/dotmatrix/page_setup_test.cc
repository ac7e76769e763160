// Job preamble, page setup of both dialects, refusals and the job end.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>

#include "dotmatrix/dotmatrix.h"
#include "dotmatrix/printer_models.h"
#include "support/memory_sink.h"
#include "support/page_plan.h"

namespace zova {
namespace {

using testing::Hex;
using testing::kA4Lines;
using testing::kLetterLines;
using testing::MakePlan;
using testing::MemorySink;

class PageSetupTest : public ::testing::Test {
 protected:
  PageSetupTest() { out.Sink = OutputSink(sink.file()); }

  std::vector<uint8_t> Start(const PagePlan& plan) {
    EXPECT_TRUE(StartPage(out, plan));
    return sink.Take();
  }

  MemorySink sink;
  OutputState out;
};

TEST_F(PageSetupTest, PreambleIs9800Nuls) {
  zova::Setup(out);
  EXPECT_EQ(sink.Take(), std::vector<uint8_t>(9800, 0));
}

struct LqCase {
  unsigned r0, r1;
  int lines;
  const char* bytes;
  int shingling, dot_columns;
};

TEST_F(PageSetupTest, LqSetupForEveryResolution) {
  const LqCase cases[] = {
      {180, 180, kA4Lines, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 08", 1, 3},
      {180, 180, kLetterLines, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 42 1B 33 08", 1, 3},
      {360, 360, kA4Lines, "1B 40 1B 36 1C 78 31 1B 55 31 1B 32 1B 43 46 1B 2B 08", 1, 6},
      {360, 180, kA4Lines, "1B 40 1B 36 1C 78 31 1B 55 31 1B 32 1B 43 46 1B 33 08", 1, 6},
      {180, 360, kA4Lines, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 2B 08", 1, 3},
      {120, 120, kA4Lines, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 18", 0, 2},
      {240, 240, kA4Lines, "1B 40 1B 36 1C 78 31 1B 55 31 1B 32 1B 43 46 1B 33 18", 0, 4},
      {60, 60, kA4Lines, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 18", 0, 1},
      // 300 lines: the length byte wraps.
      {180, 180, 300, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 2C 1B 33 08", 1, 3},
  };
  for (const LqCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.r0 << "x" << c.r1 << ", " << c.lines << " lines");
    OutputState fresh;
    fresh.Sink = OutputSink(sink.file());
    fresh.SimulationType = CommandSetId::kNative;
    ASSERT_TRUE(StartPage(fresh, MakePlan("LQ", c.r0, c.r1, 100, c.lines)));
    EXPECT_EQ(Hex(sink.Take()), c.bytes);
    EXPECT_EQ(fresh.Shingling, c.shingling == 1);
    EXPECT_EQ(fresh.DotColumns, c.dot_columns);
    EXPECT_EQ(fresh.DotBytes, 3);
    EXPECT_EQ(fresh.SimulationType, CommandSetId::kLq);
  }
}

TEST_F(PageSetupTest, NativeSetupWritesLengthAsTwoRawDigits) {
  EXPECT_EQ(Hex(Start(MakePlan("Native", 180, 180, 100, kA4Lines))),
            "1B 4E 1B 25 42 1B 36 1B 46 07 00");
  EXPECT_EQ(out.SimulationType, CommandSetId::kNative);
  EXPECT_FALSE(out.Shingling);
  EXPECT_EQ(out.DotColumns, 3);

  EXPECT_EQ(Hex(Start(MakePlan("ZOVA", 360, 360, 100, kLetterLines))),
            "1B 4E 1B 25 42 1B 36 1B 46 06 06");
  EXPECT_FALSE(out.Shingling) << "the native set never shingles, even at 360 dpi";
}

TEST_F(PageSetupTest, OkidataModelAddsPrefixInLqOnly) {
  PagePlan lq = MakePlan("LQ", 180, 180, 10);
  lq.okidataPrefix = true;
  EXPECT_EQ(Hex(Start(lq)), "1B 7B 41 1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 08");
  PagePlan native = MakePlan("N", 180, 180, 10);
  native.okidataPrefix = true;
  EXPECT_EQ(Hex(Start(native)), "1B 4E 1B 25 42 1B 36 1B 46 07 00");

  // The model comes from the PPD's NickName, once per job.
  const struct {
    const char* nickname;
    bool okidata;
  } models[] = {
      {"ZOVA QRT OKIDATA mode", true},
      {"ZOVA-QRT OKIDATA", true},
      {"ZOVA QRT", false},
      {"okidata", false},
      {nullptr, false},
  };
  for (const auto& m : models) {
    EXPECT_EQ(ModelFromNickname(m.nickname).okidataPrefix, m.okidata)
        << (m.nickname ? m.nickname : "no NickName");
  }
  EXPECT_EQ(ModelFromDriverName("zova-qrt-okidata"), &ModelFromNickname("ZOVA-QRT OKIDATA"));
  EXPECT_EQ(ModelFromDriverName("zova-qrt"), &ModelFromNickname(nullptr));
  EXPECT_EQ(ModelFromDriverName("epson"), nullptr);
}

TEST_F(PageSetupTest, AllocatesPageBuffersAndResetsCounters) {
  out.LineNum = 7;
  out.LineCount = 4;
  out.EvenOffset = 2;
  out.OddOffset = 1;
  out.DotBit = 4;
  Start(MakePlan("LQ", 180, 180, 101));
  EXPECT_EQ(out.CompBuffer.size(), 101u);
  EXPECT_EQ(out.LineBlock.size(), 3u * 202u) << "two pass buffers when shingling";
  EXPECT_EQ(out.LineBuffers[1] - out.LineBuffers[0], 303);
  EXPECT_EQ(out.LineNum, 0u);
  EXPECT_EQ(out.LineCount, 0);
  EXPECT_EQ(out.EvenOffset, 0);
  EXPECT_EQ(out.OddOffset, 0);
  EXPECT_EQ(out.DotBit, 128);

  Start(MakePlan("LQ", 120, 120, 101));
  EXPECT_EQ(out.LineBlock.size(), 303u) << "one pass buffer without shingling";
}

TEST_F(PageSetupTest, JobEndFollowsTheLastPagesDialect) {
  EXPECT_TRUE(Shutdown(out));
  EXPECT_EQ(Hex(sink.Take()), "1B 40") << "LQ before any page";

  Start(MakePlan("N", 180, 180, 10));
  EXPECT_TRUE(Shutdown(out));
  EXPECT_EQ(Hex(sink.Take()), "");

  Start(MakePlan("LQ", 180, 180, 10));
  EXPECT_TRUE(Shutdown(out));
  EXPECT_EQ(Hex(sink.Take()), "1B 40");
}

#if !defined(__SANITIZE_ADDRESS__)
// Starts a page of `columns` dots in an address space too small for it and
// exits with 3 when StartPage refuses, having written nothing.
void StartPageWithin512MiB(const char* type, unsigned columns) {
  const rlimit limit{512u << 20, 512u << 20};
  setrlimit(RLIMIT_AS, &limit);
  MemorySink sink;
  OutputState fresh;
  fresh.Sink = OutputSink(sink.file());
  const bool started = StartPage(fresh, MakePlan(type, 180, 180, columns));
  exit(started ? 0 : sink.Bytes().empty() ? 3 : 4);
}

TEST(PageSetupDeathTest, OutOfMemoryRefusesThePageWithItsMessage) {
  EXPECT_EXIT(StartPageWithin512MiB("N", 600u << 20), ::testing::ExitedWithCode(3),
              "^ERROR: Unable to allocate memory CompBuffer\n$");
  EXPECT_EXIT(StartPageWithin512MiB("LQ", 100u << 20), ::testing::ExitedWithCode(3),
              "^ERROR: Unable to allocate memory\n$");
}
#endif

}  // namespace
}  // namespace zova
