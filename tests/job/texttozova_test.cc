// texttozova run as CUPS runs it, its streams checked byte for byte against
// the ESC/P command reference and the code page charts.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "preview/page_text.h"
#include "preview/stream_decoder.h"
#include "support/hand_made_stream.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace zova::testing {
namespace {

Bytes B(const std::string& text) { return Bytes(text.begin(), text.end()); }

struct TextRun {
  int status;
  Bytes body;  // the stream after the preamble
  std::string err;
};

// texttozova with the ZOVA-QRT PPD; the text from a file, or from stdin.
TextRun Texttozova(const std::string& options, const std::string& text, const char* copies = "1",
                   bool from_stdin = false, const std::map<std::string, std::string>& env = {}) {
  TempDir dir;
  const std::string file = dir.File("in.txt");
  std::ofstream(file, std::ios::binary) << text;
  ProcessOptions o;
  o.args = {ZOVA_TEXT_FILTER, "7", "user", "title", copies, options};
  if (from_stdin)
    o.stdinFile = file;
  else
    o.args.push_back(file);
  o.env = env;
  o.env["PPD"] = std::string(ZOVA_PPD_DIR) + "/zovaqrt.ppd";
  Process process(o);
  const ProcessResult r = process.Wait();
  Bytes out(r.out.begin(), r.out.end());
  EXPECT_GE(out.size(), kPreamble) << r.err;
  if (out.size() >= kPreamble) out.erase(out.begin(), out.begin() + kPreamble);
  return {r.status, out, r.err};
}

bool Contains(const Bytes& haystack, const Bytes& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
         haystack.end();
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A Letter page at 10 cpi and 6 lpi, 1/4 inch side and 1/2 inch top and
// bottom margins: 2 whole columns and half of one (18/360 in) to the left,
// the right margin after column 82.5, 60 lines of 80 columns.
const Bytes kLetterSetup = {
    0x1B, '@', 0x1B, 'x', 0,    0x1B, '(',  'U', 1,    0,    10,       // draft, unit 1/360 in
    0x1B, '(', 'C',  2,   0,    0x78, 0x0F,                            // 11 in = 3960
    0x1B, 'O', 0x1B, 'P', 0x1B, '2',  0x1B, 'l', 2,    0x1B, 'Q', 83,  // 10 cpi, 1/6 in
    0x1B, '(', 't',  3,   0,    1,    1,    0,   0x1B, 't',  1,   0x1B, 'R', 0,  // PC437, USA
    0x1B, '6', 0x1B, '(', 'v',  2,    0,    180, 0};                             // 1/2 in down
const Bytes kLineStart = {0x1B, '$', 18, 0};

// The native set prints plain text only, 1/2 in down (60/120 in), and says
// so.
TEST(Texttozova, PagesByteForByte) {
  const TextRun letter = Texttozova("media=Letter", "Hello\nBank\n");
  EXPECT_EQ(letter.status, 0) << letter.err;
  EXPECT_EQ(letter.body,
            kLetterSetup + kLineStart + B("Hello\r\n") + kLineStart + B("Bank\r\f") + kJobEnd);
  const TextRun native = Texttozova("ZovaCommandSet=Native", "Hi\n");
  EXPECT_EQ(native.status, 0);
  EXPECT_EQ(native.body, (Bytes{0x1B, 'N', 0x1B, '6', 0x1B, '%', '5', 60} + B("Hi\r\f")));
  EXPECT_NE(native.err.find("WARNING: The native command set prints plain text only"),
            std::string::npos);
}

TEST(Texttozova, OptionsChooseTheirCommands) {
  struct Case {
    const char* options;
    Bytes expected;
  } cases[] = {
      {"", {0x1B, '(', 'C', 2, 0, 0x71, 0x10}},  // A4, 4209/360 in
      {"", {0x1B, 'l', 2, 0x1B, 'Q', 80}},       // 77 columns on A4
      {"ZovaTextQuality=LQ", {0x1B, 'x', 1}},
      {"cpi=12", {0x1B, 'M'}},
      {"cpi=15", {0x1B, 'g'}},
      {"lpi=8", {0x1B, '0'}},
      {"ZovaCharacterTable=PC850", {0x1B, '(', 't', 3, 0, 1, 3, 0}},
      {"ZovaCharacterTable=PC858", {0x1B, '(', 't', 3, 0, 1, 44, 0}},
      {"ZovaCharacterTable=PC852", {0x1B, '(', 't', 3, 0, 1, 10, 0}},
      {"ZovaCharacterTable=PC866", {0x1B, '(', 't', 3, 0, 1, 14, 0}},
      {"ZovaCharacterTable=ISO8859-1", {0x1B, '(', 't', 3, 0, 1, 29, 16}},
      {"ZovaCharacterTable=ISO8859-15", {0x1B, '(', 't', 3, 0, 1, 29, 15}},
      // 5 mm is 70.9/360 in: 71 more down; 90 + 71 = 4 columns and 17.
      {"ZovaTopOffset=5", {0x1B, '(', 'v', 2, 0, 251, 0}},
      {"media=Letter ZovaLeftOffset=5", {0x1B, 'l', 4, 0x1B, 'Q', 85}},
      {"media=Letter ZovaLeftOffset=5", {0x1B, '$', 17, 0, 'x', '\r'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const TextRun run = Texttozova(c.options, "x\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.body, c.expected));
  }
}

TEST(Texttozova, NationalCharactersFromTheCodePageCharts) {
  struct Case {
    const char* table;
    Bytes line;  // ü ß ñ € Ж ő
    int missing;
  } cases[] = {
      {"PC437", {0x81, 0xE1, 0xA4, '?', '?', '?'}, 3},
      {"PC850", {0x81, 0xE1, 0xA4, '?', '?', '?'}, 3},
      {"PC858", {0x81, 0xE1, 0xA4, 0xD5, '?', '?'}, 2},
      {"PC852", {0x81, 0xE1, '?', '?', '?', 0x8B}, 3},
      {"PC866", {'?', '?', '?', '?', 0x86, '?'}, 5},
      {"ISO8859-1", {0xFC, 0xDF, 0xF1, '?', '?', '?'}, 3},
      {"ISO8859-15", {0xFC, 0xDF, 0xF1, 0xA4, '?', '?'}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    const TextRun run = Texttozova(std::string("ZovaCharacterTable=") + c.table, "üßñ€Жő\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Contains(run.body, kLineStart + c.line + Bytes{'\r', '\f'}));
    EXPECT_EQ(Count(run.err, "WARNING:"), 1u) << run.err;
    EXPECT_NE(run.err.find(std::to_string(c.missing) + " characters cannot be printed in " +
                           c.table + " and print as ?"),
              std::string::npos)
        << run.err;
  }
}

TEST(Texttozova, LinesWrapAndPagesEndAtTheLetterPagesSixtyLines) {
  std::string text(85, 'w');
  text += "\n";
  for (int i = 2; i <= 61; ++i) text += std::string("L") + std::to_string(i) + "\n";
  text += "after\fform feed\n";
  const TextRun run = Texttozova("media=Letter", text);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(
      run.body, kLineStart + B(std::string(80, 'w') + "\r\n") + kLineStart + B("wwwww\r\n")));
  // 85 columns take two lines, so L59 is the page's 60th and last.
  EXPECT_TRUE(Contains(run.body, B("L59\r\f")));
  EXPECT_TRUE(Contains(run.body, B("L61\r\n") + kLineStart + B("after\r\f")));
  EXPECT_EQ(Count(run.err, "INFO: Printing page"), 3u) << run.err;
}

TEST(Texttozova, CopiesFromStdinAndPageRanges) {
  const TextRun copies = Texttozova("", "one\fTWO\n", "2", true);
  EXPECT_EQ(copies.status, 0) << copies.err;
  EXPECT_EQ(Count(std::string(copies.body.begin(), copies.body.end()), "TWO\r\f"), 2u);
  EXPECT_EQ(Count(copies.err, "INFO: Printing page"), 4u);

  const TextRun ranged = Texttozova("page-ranges=2", "one\fTWO\n", "2");
  const std::string body(ranged.body.begin(), ranged.body.end());
  EXPECT_EQ(Count(body, "TWO\r\f"), 2u);
  EXPECT_EQ(Count(body, "one"), 0u);
}

TEST(Texttozova, BadInputIsWarnedOfAndPrinted) {
  const TextRun bad = Texttozova(
      "cpi=11 lpi=7 wrap=maybe ZovaTextQuality=Best ZovaCharacterTable=PC999 ZovaTextAs=Paint "
      "charset=klingon media=Letter",
      "Hello\nBank\n");
  EXPECT_EQ(bad.status, 0);
  EXPECT_EQ(bad.body, Texttozova("media=Letter", "Hello\nBank\n").body);
  // Each bad option is named with what prints instead.
  EXPECT_EQ(Count(bad.err, "WARNING: Unknown "), 7u) << bad.err;
  for (const char* warning : {
           "Unknown cpi value \"11\" (10, 12, 15, 17 or 20); printing with 10",
           "Unknown ZovaCharacterTable value \"PC999\" (PC437, PC850, PC858, PC852, PC866, "
           "ISO8859-1 or ISO8859-15); printing with PC437",
           "Unknown charset value \"klingon\" (a character set iconv knows); printing with UTF-8",
       }) {
    EXPECT_NE(bad.err.find(std::string("WARNING: ") + warning), std::string::npos) << warning;
  }

  const TextRun invalid = Texttozova("",
                                     "a\xff"
                                     "b\n");
  EXPECT_EQ(invalid.status, 0);
  EXPECT_TRUE(Contains(invalid.body, kLineStart + B("a?b\r\f")));
  EXPECT_NE(invalid.err.find("WARNING: 1 byte sequence of the text is not valid UTF-8"),
            std::string::npos);

  // Nothing to print: the printer gets its reset, the job fails.
  const TextRun empty = Texttozova("", "");
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.err.find("ERROR: No page was printed"), std::string::npos);
}

// What the printer prints, decoded and read back through its tables, is the
// text that went in: tabs to every 8th column, the 85-column line wrapped at
// 80, the form feed a new page, in each table, pitch and command set.
TEST(Texttozova, PreviewReadsTheTextBack) {
  const std::string tail = std::string(85, 'w') + "\fpage 2\n";
  const std::string wrapped = std::string(80, 'w') + "\nwwwww\n\f\npage 2\n\f\n";
  struct Case {
    const char* options;
    const char* line;  // the first line, a tab after its 7th character
  } cases[] = {
      {"ZovaCharacterTable=PC437", "Grüße ñ\tx"},
      {"ZovaCharacterTable=PC850 ZovaTextQuality=LQ", "Ærø åé.\tx"},
      {"ZovaCharacterTable=PC858 lpi=8", "Preis €\tx"},
      {"ZovaCharacterTable=PC852 ZovaTopOffset=3 ZovaLeftOffset=2", "Łódź ő.\tx"},
      {"ZovaCharacterTable=PC866", "Жук щи.\tx"},
      {"ZovaCharacterTable=ISO8859-15", "€ œ ÿ..\tx"},
      {"ZovaCommandSet=Native", "Grüße ñ\tx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const TextRun run =
        Texttozova(std::string("media=Letter ") + c.options, std::string(c.line) + "\n" + tail);
    ASSERT_EQ(run.status, 0) << run.err;
    // The native set's text is read in the panel's table, PC437 here.
    const auto decoded = preview::DecodeStream(Bytes(kPreamble, 0) + run.body);
    ASSERT_FALSE(decoded.error) << decoded.error->message;
    std::string back;
    for (const auto& page : decoded.pages) back += preview::PageText(page);
    std::string line = c.line;
    line[line.find('\t')] = ' ';
    EXPECT_EQ(back, line + "\n" + wrapped);
  }
}

// The sample passbook page prints in columns: each character of its table
// stands within one of the fields of the dashed rule, the date and the text
// start at their field's left edge, the amounts and balances end at its right.
TEST(Texttozova, TheSamplePassbookPrintsInColumns) {
  std::ostringstream sample;
  sample << std::ifstream(ZOVA_SAMPLE_PASSBOOK).rdbuf();
  const TextRun run = Texttozova(
      "PageSize=140x180mm ZovaCharacterTable=PC858 ZovaTextQuality=LQ cpi=12", sample.str());
  ASSERT_EQ(run.status, 0) << run.err;
  const auto decoded = preview::DecodeStream(Bytes(kPreamble, 0) + run.body);
  ASSERT_FALSE(decoded.error) << decoded.error->message;
  ASSERT_EQ(decoded.pages.size(), 1u);
  std::map<uint32_t, std::vector<preview::PlacedCharacter>> lines;
  for (const auto& c : decoded.pages[0].characters) {
    if (c.byte != ' ') lines[c.line].push_back(c);
  }
  struct Field {
    long left, right;  // 1/3600 inch from the carriage's left end
  };
  std::vector<Field> fields;
  for (const auto& c : lines[3]) {
    ASSERT_EQ(c.byte, '-');
    if (fields.empty() || fields.back().right != c.x) fields.push_back({c.x, c.x});
    fields.back().right = c.x + c.width;
  }
  ASSERT_EQ(fields.size(), 4u) << "date, text, amount, balance";
  for (uint32_t line = 2; line < 12; ++line) {
    SCOPED_TRACE("line " + std::to_string(line + 1));
    std::vector<long> first(4, -1), last(4, -1);
    for (const auto& c : lines[line]) {
      const auto in = std::find_if(fields.begin(), fields.end(), [&](const Field& f) {
        return c.x >= f.left && c.x + c.width <= f.right;
      });
      ASSERT_NE(in, fields.end()) << "a character between the columns at x=" << c.x;
      const size_t f = static_cast<size_t>(in - fields.begin());
      if (first[f] < 0) first[f] = c.x;
      last[f] = c.x + c.width;
    }
    EXPECT_EQ(first[0], fields[0].left);
    EXPECT_EQ(first[1], fields[1].left);
    if (last[2] >= 0) {
      EXPECT_EQ(last[2], fields[2].right);
    }
    EXPECT_EQ(last[3], fields[3].right);
  }
}

// A failure in the raster chain fails the job and says which program failed.
TEST(Texttozova, GraphicsChainFailureFailsTheJob) {
  TempDir serverbin;
  std::filesystem::create_directories(serverbin.File("filter"));
  std::ofstream(serverbin.File("filter/texttopdf")) << "#!/bin/sh\nexit 3\n";
  std::filesystem::permissions(serverbin.File("filter/texttopdf"),
                               std::filesystem::perms::owner_all);
  for (const char* program : {"pdftopdf", "gstoraster"}) {
    std::filesystem::create_symlink(std::string(ZOVA_CUPS_SERVERBIN) + "/filter/" + program,
                                    serverbin.File(std::string("filter/") + program));
  }
  const TextRun failed =
      Texttozova("ZovaTextAs=Graphics", "x\n", "1", false, {{"CUPS_SERVERBIN", serverbin.path()}});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("ERROR: texttopdf stopped with status 3"), std::string::npos)
      << failed.err;
}

}  // namespace
}  // namespace zova::testing
