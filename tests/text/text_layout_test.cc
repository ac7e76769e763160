// Decoding, lines and pages, and the pages' bytes.
#include "text/text_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "messages/messages.h"
#include "support/memory_sink.h"
#include "text/charset_decoder.h"
#include "text/text_writer.h"

namespace zova::text {
namespace {

using zova::testing::Hex;

// Pages as "line|line" strings (ASCII text only).
struct Recorder final : LineReceiver {
  std::vector<std::string> pages{""};
  void Line(std::u32string_view text) override {
    std::string& page = pages.back();
    if (!page.empty()) page += '|';
    for (char32_t c : text) page += static_cast<char>(c);
    if (text.empty()) page += "(empty)";
  }
  void PageEnd() override { pages.emplace_back(); }
};

std::vector<std::string> Paginate(const std::u32string& text, unsigned columns, unsigned lines,
                                  bool wrap = true) {
  Recorder recorder;
  Paginator paginator(columns, lines, wrap, recorder);
  paginator.Put(text);
  paginator.Finish();
  recorder.pages.pop_back();  // what follows the last page end
  return recorder.pages;
}

using Pages = std::vector<std::string>;

TEST(PaginatorTest, LinesAndPages) {
  struct Case {
    std::u32string text;
    unsigned columns, lines;
    bool wrap;
    Pages pages;
  };
  const Case cases[] = {
      {U"abcdefghijkl", 5, 9, true, {"abcde|fghij|kl"}},
      {U"abcdefghijkl\nxy", 5, 9, false, {"abcde|xy"}},
      {U"a\tb\tc", 12, 9, true, {"a       b|c"}},
      {U"a\rb\nc\r\nd", 9, 9, true, {"a|b|c|d"}},
      {U"a\r\rb", 9, 9, true, {"a|(empty)|b"}},
      {U"1\n2\n3\n4\n5", 9, 2, true, {"1|2", "3|4", "5"}},
      {U"a\fb\f", 9, 9, true, {"a", "b"}},
      {U"\f\fa", 9, 9, true, {"", "", "a"}},
      // A form feed after a page the line count ended prints no blank page.
      {U"1\n2\n\f3", 9, 2, true, {"1|2", "3"}},
      {U"1\n2\f3", 9, 2, true, {"1|2", "3"}},
      {U"a\x1b@\x7f\u0085b\uFEFF", 9, 9, true, {"a@b"}},
      {U"", 9, 9, true, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Paginate(c.text, c.columns, c.lines, c.wrap), c.pages)
        << std::string(c.text.begin(), c.text.end());
  }
}

TEST(PaginatorTest, ExactLineCountOfAFrame) {
  struct Case {
    PageGeometry geometry;
    unsigned columns, lines;
  };
  const Case cases[] = {
      // Letter, 8.5 x 11 inch: 66 lines of 1/6 inch, 88 of 1/8; 85 columns at
      // 10 cpi, 170 at 20.
      {{.width = 3060, .length = 3960}, 85, 66},
      {{.width = 3060, .length = 3960, .pitch = Pitch::k20, .spacing = LineSpacing::k8}, 170, 88},
      // A4: 297 mm is 70.15 sixths of an inch; 210 mm is 82.7 columns at 10
      // cpi, 141.7 at 17.14.
      {{.width = 2976, .length = 4209}, 82, 70},
      {{.width = 2976, .length = 4209, .pitch = Pitch::k17}, 141, 70},
      // Half-inch margins all round on Letter: 7.5 inch at 12 cpi, 10 inches.
      {{3060, 3960, 180, 180, 180, 180, Pitch::k12, LineSpacing::k6}, 90, 60},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto frame = FrameOf(c.geometry, &error);
    ASSERT_TRUE(frame) << error;
    EXPECT_EQ(frame->columns, c.columns);
    EXPECT_EQ(frame->lines, c.lines);
    // The paginator ends the page at exactly that count.
    std::u32string text;
    for (unsigned i = 0; i <= c.lines; ++i) text += U"x\n";
    const Pages pages = Paginate(text, frame->columns, frame->lines);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[1], "x");
  }
  EXPECT_EQ(MillimetresToUnits(297), 4209u);
  std::string error;
  EXPECT_FALSE(FrameOf({.width = 300, .length = 3960, .left = 200, .right = 100}, &error));
  EXPECT_EQ(error, "Not one character fits between the left and right margins");
  EXPECT_FALSE(FrameOf({.width = 3060, .length = 8000}, &error));
}

std::u32string Decode(const char* charset, const std::vector<std::string>& chunks,
                      size_t* invalid = nullptr) {
  std::string error;
  auto decoder = CharsetDecoder::Create(charset, &error);
  EXPECT_TRUE(decoder) << error;
  if (!decoder) return {};
  std::vector<char32_t> out;
  for (const std::string& c : chunks) {
    decoder->Feed(reinterpret_cast<const uint8_t*>(c.data()), c.size(), out);
  }
  decoder->Finish(out);
  if (invalid) *invalid = decoder->invalid();
  return std::u32string(out.begin(), out.end());
}

TEST(CharsetDecoderTest, CharsetsChunksAndInvalidInput) {
  size_t invalid = 0;
  // ü cut between two chunks; € cut and never finished.
  EXPECT_EQ(Decode("", {"a\xC3", "\xBC", "\xE2\x82"}, &invalid), U"aü\uFFFD");
  EXPECT_EQ(invalid, 1u);
  // A lone lead byte, an overlong lead, a surrogate, bytes never valid.
  EXPECT_EQ(Decode("UTF-8", {"\xC3(\xE0\x80!\xED\xA0\x80\xFF\xC0\xAF"}, &invalid),
            U"\uFFFD(\uFFFD\uFFFD!\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(invalid, 9u);
  EXPECT_EQ(Decode("CP850", {"\x81\xE1"}), U"üß");
  EXPECT_EQ(Decode("ISO-8859-2", {"\xF5"}), U"ő");
  EXPECT_EQ(Decode("windows-1252", {"\x80"}), U"€");
  // UTF-16 cut mid-character by the chunks, and an odd last byte.
  EXPECT_EQ(Decode("UTF-16LE", {std::string("A\0\x16", 3), "\x04", "Z"}, &invalid), U"AЖ\uFFFD");
  EXPECT_EQ(invalid, 1u);
  EXPECT_EQ(Decode("US-ASCII", {"a\xE9z"}, &invalid), U"a\uFFFDz");
  std::string error;
  EXPECT_FALSE(CharsetDecoder::Create("NO-SUCH-CHARSET", &error));
  EXPECT_EQ(error, "Unknown charset \"NO-SUCH-CHARSET\"");
}

std::vector<uint8_t> Print(TextCommands commands, unsigned top, const std::u32string& text) {
  zova::testing::MemorySink memory;
  NoMessages messages;
  OutputSink sink(memory.file(), messages);
  TextEncoder encoder(DefaultCharacterTable());
  TextPageWriter writer(commands, {.top = top}, encoder, sink);
  Paginator paginator(9, 2, true, writer);
  paginator.Put(text);
  paginator.Finish();
  sink.Flush();
  return memory.Bytes();
}

TEST(TextPageWriterTest, LinesEndCrLfPagesCrFf) {
  // No line feed after a page's last line: a full form would feed onto the
  // next one. Native: each page starts 60/360 = 20/120 inch down (ESC % 5).
  EXPECT_EQ(Hex(Print(TextCommands::kNative, 60, U"ab\ncü\n\fe")),
            Hex({0x1B, '%', '5', 20, 'a', 'b', 0x0D, 0x0A, 'c', 0x81, 0x0D, 0x0C, 0x1B, '%', '5',
                 20, 'e', 0x0D, 0x0C}));
  // LQ: each page starts 60/360 inch down.
  EXPECT_EQ(Hex(Print(TextCommands::kLq, 60, U"ab\f\fc")),
            Hex({0x1B, '(',  'v', 2,   0, 60, 0,  'a', 'b', 0x0D, 0x0C,
                 0x0C, 0x1B, '(', 'v', 2, 0,  60, 0,   'c', 0x0D, 0x0C}));
}

}  // namespace
}  // namespace zova::text
