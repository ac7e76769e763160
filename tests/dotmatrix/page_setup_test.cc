// Job preamble, page setup of both dialects, refusals and the job end.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>

#include "cups/stderr_messages.h"
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
  std::vector<uint8_t> Start(const PagePlan& plan) {
    EXPECT_TRUE(out.StartPage(plan));
    return sink.Take();
  }

  MemorySink sink;
  StderrMessages messages;
  OutputState out{sink.file(), messages};
};

TEST_F(PageSetupTest, PreambleIs9800Nuls) {
  out.Setup();
  EXPECT_EQ(sink.Take(), std::vector<uint8_t>(9800, 0));
}

struct LqCase {
  unsigned r0, r1;
  int lines;
  const char* bytes;
};

TEST_F(PageSetupTest, LqSetupForEveryResolution) {
  const LqCase cases[] = {
      {180, 180, kA4Lines, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 08"},
      {180, 180, kLetterLines, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 42 1B 33 08"},
      {360, 360, kA4Lines, "1B 40 1B 36 1C 78 31 1B 55 31 1B 32 1B 43 46 1B 2B 08"},
      {360, 180, kA4Lines, "1B 40 1B 36 1C 78 31 1B 55 31 1B 32 1B 43 46 1B 33 08"},
      {180, 360, kA4Lines, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 2B 08"},
      {120, 120, kA4Lines, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 18"},
      {240, 240, kA4Lines, "1B 40 1B 36 1C 78 31 1B 55 31 1B 32 1B 43 46 1B 33 18"},
      {60, 60, kA4Lines, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 18"},
      // 300 lines: the length byte wraps.
      {180, 180, 300, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 2C 1B 33 08"},
  };
  for (const LqCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.r0 << "x" << c.r1 << ", " << c.lines << " lines");
    EXPECT_EQ(Hex(Start(MakePlan("LQ", c.r0, c.r1, 100, c.lines))), c.bytes);
  }
}

TEST_F(PageSetupTest, NativeSetupWritesLengthAsTwoRawDigits) {
  EXPECT_EQ(Hex(Start(MakePlan("Native", 180, 180, 100, kA4Lines))),
            "1B 4E 1B 25 42 1B 36 1B 46 07 00");
  EXPECT_EQ(Hex(Start(MakePlan("ZOVA", 360, 360, 100, kLetterLines))),
            "1B 4E 1B 25 42 1B 36 1B 46 06 06");
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

TEST_F(PageSetupTest, EveryPageStartsAfresh) {
  // A page left in the middle of a band, with feed pending: the next page's
  // first band carries no feed and only its own dots.
  Start(MakePlan("LQ", 180, 180, 101));
  std::vector<uint8_t> dotted(13, 0xFF);
  for (int i = 0; i < 37; ++i) ASSERT_TRUE(out.OutputLine(dotted));
  Start(MakePlan("LQ", 120, 120, 2));
  std::vector<uint8_t> row{0xC0};
  for (int i = 0; i < 24; ++i) ASSERT_TRUE(out.OutputLine(row));
  EXPECT_EQ(Hex(sink.Take()),
            "0D 1B 2A 01 02 00 FF 00 FF 00 FF 00 0D 1B 2A 01 02 00 00 FF 00 FF 00 FF");
}

TEST_F(PageSetupTest, JobEndFollowsTheLastPagesDialect) {
  EXPECT_TRUE(out.Shutdown());
  EXPECT_EQ(Hex(sink.Take()), "1B 40") << "LQ before any page";

  Start(MakePlan("N", 180, 180, 10));
  EXPECT_TRUE(out.Shutdown());
  EXPECT_EQ(Hex(sink.Take()), "");

  Start(MakePlan("LQ", 180, 180, 10));
  EXPECT_TRUE(out.Shutdown());
  EXPECT_EQ(Hex(sink.Take()), "1B 40");
}

#if !defined(__SANITIZE_ADDRESS__)
// Starts a page of `columns` dots in an address space too small for it and
// exits with 3 when StartPage refuses, having written nothing.
void StartPageWithin512MiB(const char* type, unsigned columns) {
  const rlimit limit{512u << 20, 512u << 20};
  setrlimit(RLIMIT_AS, &limit);
  MemorySink sink;
  StderrMessages messages;
  OutputState fresh(sink.file(), messages);
  const bool started = fresh.StartPage(MakePlan(type, 180, 180, columns));
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
