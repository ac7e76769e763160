// pdftozova run as CUPS runs it, on PDFs made here by independent programs
// (Ghostscript from the PostScript programs in tests/data, cups-filters'
// texttopdf from text): where the programs put each string, and what
// pdftotext reads from the PDF, are what the printer must print.
#include <gtest/gtest.h>
#include <signal.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "preview/page_text.h"
#include "preview/stream_decoder.h"
#include "support/filter_runner.h"
#include "support/poll.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "text/character_tables.h"

namespace zova::testing {
namespace {

constexpr double kTolerance = 1.0 / 120;  // inch
constexpr double kPageHeight = 842;       // points, both documents' A4

std::string Data(const char* name) { return std::string(ZOVA_TEST_DATA) + "/" + name; }

ProcessOptions Options(std::vector<std::string> args, const std::string& stdin_file = "") {
  ProcessOptions o;
  o.args = std::move(args);
  o.stdinFile = stdin_file;
  o.env["PPD"] = std::string(ZOVA_PPD_DIR) + "/zovaqrt.ppd";
  o.env["PATH"] = std::string(ZOVA_HALFTONE_DIR) + ":" + getenv("PATH");
  return o;
}

ProcessResult RunProgram(std::vector<std::string> args, const std::string& stdin_file = "") {
  Process process(Options(std::move(args), stdin_file));
  return process.Wait();
}

// A PostScript program (of tests/data, or a path) as PDF.
std::string MakePdf(TempDir& dir, const std::string& program) {
  const std::string source =
      program.find('/') == std::string::npos ? Data(program.c_str()) : program;
  const std::string out = dir.File(source.substr(source.rfind('/') + 1) + ".pdf");
  const ProcessResult r = RunProgram({ZOVA_GS, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE",
                                      "-sDEVICE=pdfwrite", "-sOutputFile=" + out, source});
  EXPECT_EQ(r.status, 0) << r.err;
  return out;
}

// What the program says it shows: "text X Y SIZE STRING" or "KIND X0 Y0 X1
// Y1 LABEL".
struct Shown {
  std::string kind, text;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0, size = 0;
};
std::vector<Shown> Report(const char* program) {
  const ProcessResult r = RunProgram(
      {ZOVA_GS, "-q", "-dNODISPLAY", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dREPORT", Data(program)});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<Shown> shown;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream in(line);
    Shown s;
    in >> s.kind;
    if (s.kind == "text") {
      in >> s.x0 >> s.y0 >> s.size;
    } else {
      in >> s.x0 >> s.y0 >> s.x1 >> s.y1;
    }
    in.get();
    std::getline(in, s.text);
    shown.push_back(s);
  }
  return shown;
}

struct Printed {
  ProcessResult run;
  preview::DecodedPage page;  // its bit images alone
};
Printed Pdftozova(const std::string& options, const std::string& pdf) {
  Printed p;
  p.run =
      RunProgram({ZOVA_PDF_FILTER, UniqueJobId("pdftozova"), "user", "title", "1", options}, pdf);
  EXPECT_EQ(p.run.status, 0) << p.run.err;
  preview::DecodeOptions decode;
  decode.draw_characters = false;
  const preview::DecodedStream d = preview::DecodeStream(
      reinterpret_cast<const uint8_t*>(p.run.out.data()), p.run.out.size(), decode);
  EXPECT_FALSE(d.error) << d.error->message;
  if (!d.pages.empty()) p.page = d.pages[0];
  return p;
}

// Lines without their blanks' lengths, blank lines dropped.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string word, joined;
    while (words >> word) joined += (joined.empty() ? "" : " ") + word;
    if (!joined.empty() && joined != "\f") lines.push_back(joined);
  }
  return lines;
}

// The dots of the bit images within a box of points from the page's bottom
// left corner, at 180 dpi.
size_t DotsIn(const preview::DecodedPage& page, double x0, double y0, double x1, double y1) {
  size_t dots = 0;
  for (long y = std::lround((kPageHeight - y1) * 2.5); y < std::lround((kPageHeight - y0) * 2.5);
       ++y) {
    for (long x = std::lround(x0 * 2.5); x < std::lround(x1 * 2.5); ++x) {
      if (static_cast<size_t>(x) < page.dots.width() &&
          static_cast<size_t>(y) < page.dots.height() &&
          page.dots.Get(static_cast<size_t>(x), static_cast<size_t>(y))) {
        ++dots;
      }
    }
  }
  return dots;
}

// A printed character as the table it was printed in has it.
char32_t Code(const preview::PlacedCharacter& c) {
  return c.byte < 0x80 ? c.byte : (*text::CharacterTables()[c.table].upper)[c.byte - 0x80];
}

// Each character of the strings the printer's fonts print lies within
// 1/120 inch of where the program put it, and nothing else prints as text.
void ExpectPlaced(const preview::DecodedPage& page, const std::vector<Shown>& shown,
                  const std::string& skip = "") {
  size_t expected = 0;
  for (const Shown& s : shown) {
    if (s.kind != "text") continue;
    for (size_t k = 0; k < s.text.size(); ++k) {
      const char c = s.text[k];
      if (c == ' ' || skip.find(c) != std::string::npos) continue;
      ++expected;
      const double x = (s.x0 + k * 0.6 * s.size) / 72, baseline = (kPageHeight - s.y0) / 72;
      const bool found = std::any_of(page.characters.begin(), page.characters.end(), [&](auto& p) {
        // The programs' strings are ISO 8859-1.
        return Code(p) == static_cast<unsigned char>(c) &&
               std::abs(p.x / 3600.0 - x) <= kTolerance &&
               std::abs((p.y + preview::kBaselineDrop) / 3600.0 - baseline) <= kTolerance;
      });
      EXPECT_TRUE(found) << "'" << c << "' of \"" << s.text << "\" at " << x << ", " << baseline;
    }
  }
  EXPECT_EQ(std::count_if(page.characters.begin(), page.characters.end(),
                          [](auto& p) { return p.byte != ' '; }),
            static_cast<long>(expected));
}

TEST(Pdftozova, StatementCourierPrintsAsTextAtItsPlaceTheRestAsToday) {
  TempDir dir;
  const std::string pdf = MakePdf(dir, "statement.ps");
  const std::vector<Shown> shown = Report("statement.ps");
  const Printed fonts = Pdftozova("ZovaDocumentText=Fonts", pdf);
  const Printed today = Pdftozova("", pdf);
  ExpectPlaced(fonts.page, shown);

  // The text read back is pdftotext's of the monospaced lines.
  const ProcessResult layout = RunProgram({"pdftotext", "-layout", pdf, "-"});
  ASSERT_EQ(layout.status, 0) << layout.err;
  std::vector<std::string> monospaced;
  for (const std::string& line : Words(layout.out)) {
    if (std::none_of(shown.begin(), shown.end(),
                     [&](const Shown& s) { return s.kind == "graphics" && s.text == line; })) {
      monospaced.push_back(line);
    }
  }
  EXPECT_EQ(Words(preview::PageText(fonts.page)), monospaced);

  // The heading, the logo and the footer as today's route prints them.
  for (const Shown& s : shown) {
    if (s.kind != "graphics") continue;
    const size_t dots = DotsIn(today.page, s.x0, s.y0, s.x1, s.y1);
    EXPECT_GT(dots, 50u) << s.text;
    EXPECT_EQ(DotsIn(fonts.page, s.x0, s.y0, s.x1, s.y1), dots) << s.text;
  }
  // No bit image under a character that printed as text, where today's
  // route draws it.
  for (const preview::PlacedCharacter& c : fonts.page.characters) {
    if (c.byte == ' ') continue;
    const double x = c.x / 50.0, top = kPageHeight - (c.y + preview::kBaselineDrop) / 50.0;
    EXPECT_EQ(DotsIn(fonts.page, x, top, x + c.width / 50.0, top + 5), 0u) << c.byte;
    EXPECT_GT(DotsIn(today.page, x, top, x + c.width / 50.0, top + 5), 0u) << c.byte;
  }
  EXPECT_LT(fonts.run.out.size(), today.run.out.size());
}

TEST(Pdftozova, TexttopdfsPagesReadBackAsTheirText) {
  TempDir dir;
  const std::string pdf = dir.File("letter.pdf");
  ProcessOptions o;
  o.args = {std::string(ZOVA_CUPS_SERVERBIN) + "/filter/texttopdf",
            "1",
            "u",
            "t",
            "1",
            "",
            Data("letter.txt")};
  o.env["PPD"] = std::string(ZOVA_PPD_DIR) + "/zovaqrt.ppd";
  o.stdoutFile = pdf;
  ASSERT_EQ(Process(o).Wait().status, 0);
  const Printed fonts = Pdftozova("ZovaDocumentText=Fonts ZovaTextQuality=LQ", pdf);
  std::ifstream text(Data("letter.txt"));
  std::stringstream wanted;
  wanted << text.rdbuf();
  EXPECT_EQ(Words(preview::PageText(fonts.page)), Words(wanted.str()));
  EXPECT_EQ(fonts.page.dot_count, 0u) << "texttopdf's page is all text";
  EXPECT_FALSE(fonts.page.text_state.draft);
}

TEST(Pdftozova, TextThePrintersFontsCannotPrintStaysGraphics) {
  TempDir dir;
  const std::string pdf = MakePdf(dir, "fallbacks.ps");
  const std::vector<Shown> shown = Report("fallbacks.ps");
  for (const char* table : {"PC437", "PC850"}) {
    SCOPED_TRACE(table);
    const Printed fonts =
        Pdftozova(std::string("ZovaDocumentText=Fonts ZovaCharacterTable=") + table, pdf);
    // PC437 has no o slash; PC850 has it (0x9B).
    ExpectPlaced(fonts.page, shown, table == std::string("PC437") ? "\xF8" : "");
    for (const Shown& s : shown) {
      if (s.kind == "text") continue;
      const size_t dots = DotsIn(fonts.page, s.x0, s.y0, s.x1, s.y1);
      if (s.kind == "blank") {
        EXPECT_EQ(dots, 0u) << s.text;
      } else {
        EXPECT_GT(dots, 10u) << s.text;
      }
    }
  }
  // The job's log says why, once a page.
  const Printed pc437 = Pdftozova("ZovaDocumentText=Fonts", pdf);
  for (const char* why :
       {"turned or slanted", "in a font without a Unicode map", "at a size no pitch has",
        "2 not in the character table", "over a picture or in a light ink"}) {
    EXPECT_NE(pc437.run.err.find(why), std::string::npos) << why << "\n" << pc437.run.err;
  }
}

// Without the choice, or on a page with nothing for the printer's fonts, or
// in the native set, the stream is today's route's: gstoraster into
// rastertozova.
TEST(Pdftozova, OtherwiseByteForByteTheRasterRoute) {
  TempDir dir;
  const std::string proportional = dir.File("proportional.ps");
  std::ofstream(proportional) << "%!PS\n/Helvetica findfont 12 scalefont setfont 72 700 moveto "
                                 "(Proportional only) show 0.5 setgray 72 600 100 50 rectfill "
                                 "showpage\n";
  const std::string pdf = MakePdf(dir, "statement.ps");
  const std::string plain = MakePdf(dir, proportional);
  const auto raster_route = [&](const std::string& options, const std::string& document) {
    const std::string raster = dir.File("page.ras");
    ProcessOptions o;
    o.args = {std::string(ZOVA_CUPS_SERVERBIN) + "/filter/gstoraster",
              UniqueJobId("gstoraster"),
              "user",
              "title",
              "1",
              options};
    o.env["PPD"] = std::string(ZOVA_PPD_DIR) + "/zovaqrt.ppd";
    o.stdinFile = document;
    o.stdoutFile = raster;
    EXPECT_EQ(Process(o).Wait().status, 0);
    return RunProgram({ZOVA_RASTER_FILTER, UniqueJobId("rastertozova"), "user", "title", "1",
                       options, raster})
        .out;
  };
  const struct {
    std::string options, document;
  } cases[] = {{"", pdf},
               {"Resolution=360dpi ZovaPrintAs=Mixed", pdf},
               {"ZovaDocumentText=Fonts", plain},
               {"ZovaDocumentText=Fonts ZovaCommandSet=Native", pdf}};
  for (const auto& c : cases) {
    const std::string today = raster_route(c.options, c.document);
    const ProcessResult fonts = RunProgram(
        {ZOVA_PDF_FILTER, UniqueJobId("pdftozova"), "user", "title", "1", c.options}, c.document);
    EXPECT_GT(today.size(), 10000u);
    EXPECT_TRUE(fonts.out == today)
        << c.options << ": " << fonts.out.size() << " bytes, not " << today.size();
  }
}

// A passbook page of 397 x 510 points: Ghostscript draws it a row longer
// when it takes the PPD's 140 x 180 mm (510.24 points) for it, but not when
// it leaves the text out. Its lines still print as text, at their place.
TEST(Pdftozova, APageThePpdsSizeLengthensKeepsItsTextInPlace) {
  TempDir dir;
  const std::string ps = dir.File("passbook.ps");
  std::ofstream(ps) << "%!PS\n<< /PageSize [397 510] >> setpagedevice\n"
                       "/Courier findfont 12 scalefont setfont\n"
                       "36 480 moveto (Line at 480) show 36 100 moveto (Line at 100) show\n"
                       "30 90 moveto 300 90 lineto stroke showpage\n";
  const std::string pdf = MakePdf(dir, ps);
  const Printed fonts = Pdftozova("ZovaDocumentText=Fonts PageSize=140x180mm", pdf);
  EXPECT_EQ(fonts.run.err.find("does not match"), std::string::npos) << fonts.run.err;
  ASSERT_EQ(fonts.page.characters.size(), 22u);
  // Baselines 30 and 410 points from the top, in 1/3600 inch.
  EXPECT_EQ(fonts.page.characters[0].y + preview::kBaselineDrop, 30u * 50);
  EXPECT_EQ(fonts.page.characters[11].y + preview::kBaselineDrop, 410u * 50);
  EXPECT_EQ(fonts.page.characters[11].x, 36u * 50);
}

// Without pdffonts no font is known to map its characters: the text stays
// graphics, the job says why and prints as it would without the choice.
TEST(Pdftozova, WithoutPdffontsTheTextStaysGraphics) {
  TempDir dir;
  const std::string pdf = MakePdf(dir, "statement.ps");
  const std::string bin = dir.File("bin");
  std::filesystem::create_directory(bin);
  std::filesystem::create_symlink(ZOVA_GS, bin + "/gs");
  ProcessOptions o = Options(
      {ZOVA_PDF_FILTER, UniqueJobId("pdftozova"), "user", "title", "1", "ZovaDocumentText=Fonts"},
      pdf);
  o.env["PATH"] = std::string(ZOVA_HALFTONE_DIR) + ":" + bin;
  const ProcessResult fonts = Process(o).Wait();
  EXPECT_EQ(fonts.status, 0) << fonts.err;
  EXPECT_NE(fonts.err.find("WARNING: Unable to run pdffonts (No such file or directory): the "
                           "document's text prints as graphics."),
            std::string::npos)
      << fonts.err;
  EXPECT_TRUE(fonts.out == Pdftozova("", pdf).run.out);
}

// A cancel stops Ghostscript and leaves neither the kept document nor a
// page's spool behind; what went out ends as a stream the printer reads.
TEST(Pdftozova, CancelLeavesNothingBehind) {
  TempDir dir;
  const std::string ps = dir.File("long.ps");
  std::ofstream(ps) << "%!PS\n/Courier findfont 12 scalefont setfont\n"
                       "1 1 40 { pop 0 1 50 { 14 mul 60 add 72 exch moveto "
                       "(Many lines of Courier for a long job) show } for showpage } for\n";
  const std::string pdf = MakePdf(dir, ps);
  const std::string job = UniqueJobId("pdfcancel");
  ProcessOptions o =
      Options({ZOVA_PDF_FILTER, job, "user", "title", "1", "ZovaDocumentText=Fonts"}, pdf);
  o.env["TMPDIR"] = dir.path();
  Process filter(o);
  const auto kept = [&] {
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      if (entry.path().filename().string().rfind("zova-pdf-", 0) == 0) return true;
    }
    return false;
  };
  ASSERT_TRUE(PollUntil(kept, std::chrono::seconds(30)));
  filter.Signal(SIGTERM);
  const ProcessResult r = filter.Wait();
  EXPECT_FALSE(kept());
  EXPECT_TRUE(SpoolFilesOf(job).empty());
  const preview::DecodedStream d =
      preview::DecodeStream(reinterpret_cast<const uint8_t*>(r.out.data()), r.out.size());
  EXPECT_FALSE(d.error) << d.error->message;
  EXPECT_LT(d.pages.size(), 40u);
}

// The offsets move the text as they move the graphics: 2 mm down, 1 mm left.
TEST(Pdftozova, OffsetsMoveTheTextWithThePage) {
  TempDir dir;
  const std::string pdf = MakePdf(dir, "statement.ps");
  const Printed still = Pdftozova("ZovaDocumentText=Fonts", pdf);
  const Printed moved = Pdftozova("ZovaDocumentText=Fonts ZovaTopOffset=2 ZovaLeftOffset=-1", pdf);
  ASSERT_EQ(moved.page.characters.size(), still.page.characters.size());
  ASSERT_FALSE(still.page.characters.empty());
  for (size_t i = 0; i < still.page.characters.size(); ++i) {
    const auto& a = still.page.characters[i];
    const auto& b = moved.page.characters[i];
    EXPECT_NEAR((static_cast<double>(b.y) - a.y) / 3600 * 25.4, 2.0, 25.4 / 360);
    EXPECT_NEAR((static_cast<double>(b.x) - a.x) / 3600 * 25.4, -1.0, 25.4 / 360);
  }
}

}  // namespace
}  // namespace zova::testing
