// Text pages, hand-made from the ESC/P and native command bytes (not by the
// text writer): where each character lands, what it reads back as through
// its table, what the decoder refuses, and how long a line takes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "preview/page_text.h"
#include "preview/print_time.h"
#include "preview/stream_decoder.h"
#include "support/hand_made_stream.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace zova {
namespace {

using preview::DecodedPage;
using testing::Bytes;
using testing::Job;
using testing::kPreamble;
using testing::operator+;

constexpr uint8_t E = 0x1B;
// ESC @, ESC x n, unit 1/360 inch, page length 4209/360 (A4's 297 mm).
Bytes JobSetup(uint8_t quality) {
  return {E, '@', E, 'x', quality, E, '(', 'U', 1, 0, 10, E, '(', 'C', 2, 0, 0x71, 0x10};
}
// A text job: setup, `settings`, ESC 6, then the pages and the job end.
Bytes TextJob(const Bytes& settings, const Bytes& pages, uint8_t quality = 1) {
  return Job(JobSetup(quality) + settings + Bytes{E, '6'} + pages + Bytes{E, '@'});
}
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::vector<DecodedPage> Pages(const Bytes& stream) {
  const preview::DecodedStream decoded = preview::DecodeStream(stream);
  EXPECT_FALSE(decoded.error) << decoded.error->offset << ": " << decoded.error->message;
  return decoded.pages;
}

TEST(TextPageTest, EachTableReadsBackItsCharacters) {
  const struct {
    const char* table;
    Bytes assign;  // ESC ( t 3 0 1 d2 d3, or none: the panel's PC437
    uint8_t byte;
    const char* text;
  } cases[] = {
      {"PC437", {}, 0xE1, "ß"},
      {"PC437", {}, 0xA4, "ñ"},
      {"PC850", {E, '(', 't', 3, 0, 1, 3, 0}, 0x81, "ü"},
      {"PC850", {E, '(', 't', 3, 0, 1, 3, 0}, 0xE1, "ß"},
      {"PC858", {E, '(', 't', 3, 0, 1, 44, 0}, 0xD5, "€"},
      {"ISO8859-15", {E, '(', 't', 3, 0, 1, 29, 15}, 0xA4, "€"},
      {"PC866", {E, '(', 't', 3, 0, 1, 14, 0}, 0x86, "Ж"},
      {"PC852", {E, '(', 't', 3, 0, 1, 10, 0}, 0x8B, "ő"},
      {"ISO8859-1 has no 0x81", {E, '(', 't', 3, 0, 1, 29, 16}, 0x81, "\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    const auto pages = TextJob(c.assign + Bytes{E, 't', 1}, Bytes{'a', c.byte, 0x0D, 0x0C});
    const auto decoded = Pages(pages);
    ASSERT_EQ(decoded.size(), 1u) << c.table;
    EXPECT_EQ(preview::PageText(decoded[0]), std::string("a") + c.text + "\n\f\n") << c.table;
  }
}

TEST(TextPageTest, PitchSpacingAndMarginsPlaceCharacters) {
  // ESC l 5 and two lines: x of the second character and y of the second
  // line, in 1/3600 inch.
  const struct {
    const char* what;
    Bytes settings;
    unsigned first_x, second_x, line_y;
  } cases[] = {
      {"10 cpi, 1/6-inch lines", {E, 'P', E, '2'}, 1800, 2160, 600},
      {"12 cpi, 1/8-inch lines", {E, 'M', E, '0'}, 1500, 1800, 450},
      {"15 cpi, ESC 3 36 (36/180)", {E, 'g', E, '3', 36}, 1200, 1440, 720},
      {"17.14 cpi, ESC + 90 (90/360)", {E, 'P', 0x0F, E, '+', 90}, 1050, 1260, 900},
      {"20 cpi", {E, 'M', 0x0F}, 900, 1080, 600},
  };
  for (const auto& c : cases) {
    const auto pages =
        Pages(TextJob(c.settings + Bytes{E, 'l', 5}, Text("AB\r\nC") + Bytes{0x0D, 0x0C}));
    ASSERT_EQ(pages.size(), 1u) << c.what;
    const auto& chars = pages[0].characters;
    ASSERT_EQ(chars.size(), 3u) << c.what;
    EXPECT_EQ(chars[0].x, c.first_x) << c.what;
    EXPECT_EQ(chars[1].x, c.second_x) << c.what;
    EXPECT_EQ(chars[2].x, c.first_x) << c.what << ": CR returns to the left margin";
    EXPECT_EQ(chars[2].y, c.line_y) << c.what;
  }
  // ESC $ 18 0: 18/360 inch right of the margin, until the next CR.
  const auto shifted = Pages(
      TextJob({E, 'P', E, 'l', 5}, Bytes{E, '$', 18, 0, 'A', 0x0D, 0x0A, 'B', 0x0D, 0x0C}))[0];
  ASSERT_EQ(shifted.characters.size(), 2u);
  EXPECT_EQ(shifted.characters[0].x, 1800u + 180u);
  EXPECT_EQ(shifted.characters[1].x, 1800u);
  // In the picture (180 dpi): "H" at half an inch has its left stroke in
  // column 90 and nothing left of it.
  const auto page = Pages(TextJob({E, 'P', E, 'l', 5}, Text("H\r\f")))[0];
  size_t leftmost = page.dots.width();
  for (size_t y = 0; y < 30; ++y) {
    for (size_t x = 0; x < page.dots.width(); ++x) {
      if (page.dots.Get(x, y)) leftmost = std::min(leftmost, x);
    }
  }
  EXPECT_EQ(leftmost, 90u);
  EXPECT_EQ(page.dots.height(), 4209u / 2) << "the page length, 4209/360 inch, in 1/180 rows";
}

TEST(TextPageTest, JobPagesGoOnInTheSetupAndSayIt) {
  const Bytes assign = {E, '(', 't', 3, 0, 1, 44, 0, E, 't', 1, E, 'M', E, '0'};
  const auto pages = Pages(TextJob(assign, Text("ab\r\nc\r\f") + Text("  d\r\f"), 0));
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(preview::DescribePage(pages[0]),
            "LQ text, draft, 12 cpi, 8 lpi, PC858, 2 lines, 3 characters, page length 4209/360 "
            "in");
  EXPECT_EQ(preview::PageText(pages[1]), "  d\n\f\n");
}

TEST(TextPageTest, NativePageIsPlainTextOnThePanelForm) {
  const auto pages =
      Pages(Job(Bytes{E, 'N', E, '6', E, '%', '5', 120} + Text("Ab\xA4\r\nc\r\f") + Text("d\r\f")));
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].characters[0].y, 3600u) << "ESC % 5 120 is an inch";
  EXPECT_EQ(preview::PageText(pages[0]), "Abñ\nc\n\f\n");
  EXPECT_EQ(preview::PageText(pages[1]), "d\n\f\n");
  EXPECT_NE(preview::DescribePage(pages[0]).find("page length 11 in"), std::string::npos);
}

TEST(TextPageTest, RefusesWithTheOffset) {
  const size_t body = kPreamble + JobSetup(1).size() + 2;  // after ESC 6
  const struct {
    const char* what;
    Bytes stream;
    size_t offset;
    const char* message;
  } cases[] = {
      {"truncated ESC ( t", Job(JobSetup(1) + Bytes{E, '6', E, '(', 't', 3, 0, 1}), body,
       "ends inside ESC ( t: 6 of its 8 bytes"},
      {"unknown ESC command", TextJob({}, Bytes{'a', E, 'G', 0x0D, 0x0C}), body + 1,
       "unknown command 1B 47"},
      {"a table the printer lacks", TextJob({}, Bytes{E, '(', 't', 3, 0, 1, 99, 0, 0x0C}), body,
       "table 99 0"},
      {"0x85 before ESC 6", Job(JobSetup(1) + Bytes{0x85, 0x0C, E, '@'}), body - 2,
       "control codes until ESC 6"},
      {"past the right margin", TextJob({E, 'Q', 2}, Text("abc\r\f")), body + 3 + 2,
       "beyond the right margin"},
      {"text page without the setup", Job(Bytes{E, '@', E, '6', 0x0C} + Text("a\r\f")),
       kPreamble + 5, "byte 61 between pages"},
      {"ESC ( V back up", TextJob({}, Bytes{E, '(', 'V', 2, 0, 100, 0, E, '(', 'V', 2, 0, 50, 0}),
       body + 7, "moves the paper back up"},
  };
  for (const auto& c : cases) {
    const preview::DecodedStream decoded = preview::DecodeStream(c.stream);
    ASSERT_TRUE(decoded.error) << c.what;
    EXPECT_EQ(decoded.error->offset, c.offset) << c.what << ": " << decoded.error->message;
    EXPECT_NE(decoded.error->message.find(c.message), std::string::npos)
        << c.what << ": " << decoded.error->message;
  }
}

// Lines placed by ESC ( V read back by their paper position, each
// character in the column its place gives; bold and underlined ones struck
// as such.
TEST(TextPageTest, PlacedLinesReadBackTopDown) {
  const auto pages =
      Pages(TextJob({}, Bytes{E,   '(', 'V', 2, 0,   100, 0,    E, '$', 0,   0,    'C', E,
                              '$', 36,  0,   E, 'E', 'D', 0x0D, E, '(', 'V', 2,    0,   200,
                              0,   E,   '-', 1, E,   '$', 72,   0, 'A', 'B', 0x0D, 0x0C}));
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(pages[0].placed);
  EXPECT_EQ(preview::PageText(pages[0]), "CD\n  AB\n\f\n");
  ASSERT_EQ(pages[0].characters.size(), 4u);
  EXPECT_EQ(pages[0].characters[0].y, 1000u);  // 100/360 inch, the head's top pin
  EXPECT_EQ(pages[0].characters[2].x, 720u);
  EXPECT_FALSE(pages[0].characters[0].bold);
  EXPECT_TRUE(pages[0].characters[1].bold);
  EXPECT_TRUE(pages[0].characters[3].underline);
}

TEST(TextPageTest, LineTimeIsTheHeadSpeedOfItsQuality) {
  // Ten characters at 10 cpi are an inch: 36 in/s in draft, 12 in LQ.
  for (const auto& [quality, seconds] : {std::pair{0, 1.0 / 36}, std::pair{1, 1.0 / 12}}) {
    const auto pages = Pages(TextJob({}, Text("0123456789\r\f"), static_cast<uint8_t>(quality)));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NEAR(preview::EstimatePrintTime(pages[0], {}).printing, seconds, 1e-9);
  }
}

TEST(TextPageTest, PreviewPrintsTheTextBackAndCapsHostilePages) {
  const testing::TempDir dir;
  const std::string input = "Kontoauszug März\n\n    Übertrag  1.234,56 €\n";
  Bytes lines;
  // The same lines in PC858, as a text job prints them.
  lines = Text("Kontoauszug M") + Bytes{0x84} + Text("rz\r\n\r\n    ") + Bytes{0x9A} +
          Text("bertrag  1.234,56 ") + Bytes{0xD5, 0x0D, 0x0C};
  const auto write = [&](const std::string& name, const Bytes& bytes) {
    std::ofstream(dir.path() + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    return dir.path() + "/" + name;
  };
  const std::string job =
      write("job.prn", TextJob({E, '(', 't', 3, 0, 1, 44, 0, E, 't', 1}, lines));
  const auto run = testing::RunProcess(testing::Command({ZOVA_PREVIEW_PROGRAM, job, "--text"}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, input + "\f\n");

  // One character struck over and over in one place.
  Bytes strikes;
  for (size_t i = 0; i <= preview::kMaxPageCharacters; ++i)
    strikes.insert(strikes.end(), {'#', 0x0D});
  const auto hostile = testing::RunProcess(
      testing::Command({ZOVA_PREVIEW_PROGRAM, write("many.prn", TextJob({}, strikes)), "--text"}));
  EXPECT_EQ(hostile.status, 1);
  EXPECT_NE(hostile.err.find("more than 524288 characters on one page"), std::string::npos)
      << hostile.err;
  EXPECT_EQ(hostile.out, "");
}

}  // namespace
}  // namespace zova
