// Job preamble, page setup of both dialects, refusals and the job end.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>

#include "dotmatrix/dotmatrix.h"
#include "support/memory_sink.h"
#include "support/page_header.h"

namespace zova {
namespace {

using testing::Hex;
using testing::kA4Length;
using testing::kLetterLength;
using testing::MakeHeader;
using testing::MemorySink;

class PageSetupTest : public ::testing::Test {
 protected:
  PageSetupTest() { out.Sink = sink.file(); }

  std::vector<uint8_t> Start(const cups_page_header2_t& h, const ppd_file_t* ppd = nullptr) {
    EXPECT_TRUE(StartPage(out, ppd, &h));
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
  unsigned r0, r1, length;
  const char* bytes;
  int shingling, dot_columns;
};

TEST_F(PageSetupTest, LqSetupForEveryResolution) {
  const LqCase cases[] = {
      {180, 180, kA4Length, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 08", 1, 3},
      {180, 180, kLetterLength, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 42 1B 33 08", 1, 3},
      {360, 360, kA4Length, "1B 40 1B 36 1C 78 31 1B 55 31 1B 32 1B 43 46 1B 2B 08", 1, 6},
      {360, 180, kA4Length, "1B 40 1B 36 1C 78 31 1B 55 31 1B 32 1B 43 46 1B 33 08", 1, 6},
      {180, 360, kA4Length, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 2B 08", 1, 3},
      {120, 120, kA4Length, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 18", 0, 2},
      {240, 240, kA4Length, "1B 40 1B 36 1C 78 31 1B 55 31 1B 32 1B 43 46 1B 33 18", 0, 4},
      {60, 60, kA4Length, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 18", 0, 1},
      // 3600 points is 300 lines: the length byte wraps.
      {180, 180, 3600, "1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 2C 1B 33 08", 1, 3},
  };
  for (const LqCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.r0 << "x" << c.r1 << " length " << c.length);
    OutputState fresh;
    fresh.Sink = sink.file();
    const cups_page_header2_t h = MakeHeader("LQ", c.r0, c.r1, 100, c.length);
    ASSERT_TRUE(StartPage(fresh, nullptr, &h));
    EXPECT_EQ(Hex(sink.Take()), c.bytes);
    EXPECT_EQ(fresh.Shingling, c.shingling);
    EXPECT_EQ(fresh.DotColumns, c.dot_columns);
    EXPECT_EQ(fresh.DotBytes, 3);
    EXPECT_EQ(fresh.SimulationTypeLQ, 1);
  }
}

TEST_F(PageSetupTest, NativeSetupWritesLengthAsTwoRawDigits) {
  const cups_page_header2_t a4 = MakeHeader("Native", 180, 180, 100, kA4Length);
  EXPECT_EQ(Hex(Start(a4)), "1B 4E 1B 25 42 1B 36 1B 46 07 00");
  EXPECT_EQ(out.SimulationTypeLQ, 0);
  EXPECT_EQ(out.Shingling, 0);
  EXPECT_EQ(out.DotColumns, 3);

  const cups_page_header2_t letter = MakeHeader("ZOVA", 360, 360, 100, kLetterLength);
  EXPECT_EQ(Hex(Start(letter)), "1B 4E 1B 25 42 1B 36 1B 46 06 06");
  EXPECT_EQ(out.Shingling, 0) << "the native set never shingles, even at 360 dpi";
}

TEST_F(PageSetupTest, OkidataNicknameAddsPrefixInLqOnly) {
  ppd_file_t ppd;
  memset(&ppd, 0, sizeof ppd);
  char nickname[] = "ZOVA QRT OKIDATA mode";
  ppd.nickname = nickname;

  const cups_page_header2_t lq = MakeHeader("LQ", 180, 180, 10);
  EXPECT_EQ(Hex(Start(lq, &ppd)), "1B 7B 41 1B 40 1B 36 1C 78 30 1B 55 30 1B 32 1B 43 46 1B 33 08");

  const cups_page_header2_t native = MakeHeader("N", 180, 180, 10);
  EXPECT_EQ(Hex(Start(native, &ppd)), "1B 4E 1B 25 42 1B 36 1B 46 07 00");

  // A PPD without that word, or without a nickname at all, adds nothing.
  char plain[] = "ZOVA QRT";
  ppd.nickname = plain;
  EXPECT_EQ(Hex(Start(lq, &ppd)).substr(0, 5), "1B 40");
  ppd.nickname = nullptr;
  EXPECT_EQ(Hex(Start(lq, &ppd)).substr(0, 5), "1B 40");
}

TEST_F(PageSetupTest, AllocatesPageBuffersAndResetsCounters) {
  out.LineNum = 7;
  out.LineCount = 4;
  out.EvenOffset = 2;
  out.OddOffset = 1;
  out.DotBit = 4;
  cups_page_header2_t h = MakeHeader("LQ", 180, 180, 101);
  h.cupsBytesPerLine = 310;  // rows may carry padding
  Start(h);
  EXPECT_EQ(out.Planes[0].size(), 310u);
  EXPECT_EQ(out.CompBuffer.size(), 202u);
  EXPECT_EQ(out.LineBlock.size(), 3u * 202u) << "two pass buffers when shingling";
  EXPECT_EQ(out.LineBuffers[1] - out.LineBuffers[0], 303);
  EXPECT_EQ(out.LineNum, 0u);
  EXPECT_EQ(out.LineCount, 0);
  EXPECT_EQ(out.EvenOffset, 0);
  EXPECT_EQ(out.OddOffset, 0);
  EXPECT_EQ(out.DotBit, 128);

  Start(MakeHeader("LQ", 120, 120, 101));
  EXPECT_EQ(out.LineBlock.size(), 303u) << "one pass buffer without shingling";
}

TEST_F(PageSetupTest, RefusesPagesThePrinterCannotTake) {
  const struct {
    cups_page_header2_t header;
    const char* message;
  } cases[] = {
      {MakeHeader("", 180, 180, 10), "ERROR: OutputType Error\n"},
      {MakeHeader("LQ", 300, 300, 10),
       "ERROR: The LQ command set cannot print at 300 dpi horizontally (60, 120, 180, 240 or "
       "360 dpi)\n"},
      {MakeHeader("LQ", 72, 72, 10),
       "ERROR: The LQ command set cannot print at 72 dpi horizontally (60, 120, 180, 240 or "
       "360 dpi)\n"},
  };
  for (const auto& c : cases) {
    OutputState fresh;
    fresh.Sink = sink.file();
    fresh.SimulationTypeLQ = 0;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(StartPage(fresh, nullptr, &c.header));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
    EXPECT_TRUE(sink.Take().empty());
    EXPECT_TRUE(fresh.Planes[0].empty());
    EXPECT_TRUE(fresh.CompBuffer.empty());
    EXPECT_TRUE(fresh.LineBlock.empty());
    EXPECT_EQ(fresh.SimulationTypeLQ, 0) << "a refused page keeps the dialect";
  }
  // The native set has no mode byte to miss.
  const cups_page_header2_t native = MakeHeader("N", 300, 300, 10);
  EXPECT_TRUE(StartPage(out, nullptr, &native));
}

TEST_F(PageSetupTest, JobEndFollowsTheLastPagesDialect) {
  Shutdown(out);
  EXPECT_EQ(Hex(sink.Take()), "1B 40") << "LQ before any page";

  Start(MakeHeader("N", 180, 180, 10));
  Shutdown(out);
  EXPECT_EQ(Hex(sink.Take()), "");

  const cups_page_header2_t refused = MakeHeader("", 180, 180, 10);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(StartPage(out, nullptr, &refused));
  ::testing::internal::GetCapturedStderr();
  Shutdown(out);
  EXPECT_EQ(Hex(sink.Take()), "") << "the refused page did not change the dialect";

  Start(MakeHeader("LQ", 180, 180, 10));
  Shutdown(out);
  EXPECT_EQ(Hex(sink.Take()), "1B 40");
}

#if !defined(__SANITIZE_ADDRESS__)
// Starts a page of the given size in an address space too small for it.
void StartPageWithin512MiB(unsigned width, unsigned bytes_per_line) {
  const rlimit limit{512u << 20, 512u << 20};
  setrlimit(RLIMIT_AS, &limit);
  OutputState fresh;
  fresh.Sink = fopen("/dev/null", "w");
  cups_page_header2_t h = MakeHeader("LQ", 180, 180, width);
  h.cupsBytesPerLine = bytes_per_line;
  (void)StartPage(fresh, nullptr, &h);
}

TEST(PageSetupDeathTest, OutOfMemoryEndsTheJobWithItsMessage) {
  EXPECT_EXIT(StartPageWithin512MiB(400u << 20, 1200u << 20), ::testing::ExitedWithCode(1),
              "^ERROR: Unable to allocate memory\n$");
  EXPECT_EXIT(StartPageWithin512MiB(400u << 20, 16), ::testing::ExitedWithCode(1),
              "^ERROR: Unable to allocate memory CompBuffer\n$");
  EXPECT_EXIT(StartPageWithin512MiB(100u << 20, 16), ::testing::ExitedWithCode(1),
              "^ERROR: Unable to allocate memory\n$");
}
#endif

}  // namespace
}  // namespace zova
