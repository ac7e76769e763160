// zova-preview as a user runs it: a stream file in, PNG files and one summary
// line per page out; a stream it cannot parse gives "ERROR: " and status 1.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/hand_made_stream.h"
#include "support/png_file.h"
#include "support/print_job.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_pages.h"

namespace zova {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::DotDifference;
using testing::Job;
using testing::kNativeStart;
using testing::NativeImage;
using testing::operator+;

using Outcome = testing::ProcessResult;

class PreviewProgramTest : public ::testing::Test {
 protected:
  PreviewProgramTest() : dir_(scratch_.path()) {}

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }

  // Runs zova-preview with `args` (words separated by blanks) in the test's
  // directory, standard input from `input`.
  Outcome Preview(const std::string& args, const std::string& input = "/dev/null") {
    testing::ProcessOptions options = testing::Command({ZOVA_PREVIEW_PROGRAM});
    options.stdinFile = input;
    std::istringstream words(args);
    for (std::string word; words >> word;) options.args.push_back(word);
    options.cwd = dir_;
    return testing::RunProcess(options);
  }

  std::vector<std::string> Pngs() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      if (entry.path().extension() == ".png") names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::string Slurp(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  }

  testing::TempDir scratch_;
  std::string dir_;
};

PackedBitmap Solid(unsigned width, unsigned height) {
  PackedBitmap page(width, height);
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < width; ++x) page.Set(x, y);
  }
  return page;
}

TEST_F(PreviewProgramTest, DrawsEveryPageAndSummarisesIt) {
  const PackedBitmap text = testing::ParagraphBitmap(401, 300, 31);
  WriteFile("job.prn", testing::PrintJob({{"LQ", 180, 180, Solid(10, 48)},
                                          {"Native", 180, 180, Solid(9, 30)},
                                          {"LQ", 360, 180, text}}));
  fs::create_directory(Path("out"));

  const Outcome run = Preview(Path("job.prn") + " -o " + Path("out"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Pngs(), std::vector<std::string>{}) << "nothing beside the stream";
  // A4 is 70 lines of 1/6 inch: 2100 rows at 180 dpi. The shingled page
  // prints 48 rows in 4 bands, the native one 30 rows in 2.
  std::istringstream lines(run.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "page-1.png: LQ, 180x180 dpi, 10x2100 dots, 4 bands, 480 dots printed");
  std::getline(lines, line);
  EXPECT_EQ(line,
            "page-2.png: native, 180x180 dpi (density not in the stream), 9x2100 dots, 2 bands, "
            "270 dots printed");
  std::getline(lines, line);
  EXPECT_EQ(line.substr(0, 29), "page-3.png: LQ, 360x180 dpi, ");
  EXPECT_FALSE(std::getline(lines, line)) << "one line per page";

  PackedBitmap drawn;
  ASSERT_TRUE(testing::ReadPngDots(Path("out/page-1.png"), &drawn));
  EXPECT_EQ(DotDifference(Solid(10, 48), drawn), "");
  EXPECT_EQ(drawn.height(), 2100u);
  ASSERT_TRUE(testing::ReadPngDots(Path("out/page-2.png"), &drawn));
  EXPECT_EQ(DotDifference(Solid(9, 30), drawn), "");
  ASSERT_TRUE(testing::ReadPngDots(Path("out/page-3.png"), &drawn));
  EXPECT_EQ(DotDifference(text, drawn), "");
}

// The paper a job was printed on: each page is drawn as wide as the paper
// (at 180 dpi: A4 8.27 in, 1488 dots; a passbook turned, 180 mm, 1275; a
// 9.5 in form, 1710), as long as the stream's page (A4's 70 lines, 2100
// rows), its dots where they were, white beyond.
TEST_F(PreviewProgramTest, PagesAreDrawnAsWideAsTheirPaper) {
  WriteFile("job.prn", testing::PrintJob({{"LQ", 180, 180, Solid(10, 48)}}));
  const struct {
    std::string size;
    size_t width;
  } cases[] = {{"A4", 1488},
               {"iso_a4_210x297mm", 1488},
               {"140x180mmRotated", 1275},
               {"9.5x11", 1710},
               {"Letter", 1530}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const Outcome run = Preview(Path("job.prn") + " -o " + Path(c.size) + " --page-size " + c.size);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "page-1.png: LQ, 180x180 dpi, " + std::to_string(c.width) +
                           "x2100 dots, 4 bands, 480 dots printed\n");
    PackedBitmap drawn;
    ASSERT_TRUE(testing::ReadPngDots(Path(c.size + "/page-1.png"), &drawn));
    EXPECT_EQ(drawn.width(), c.width);
    PackedBitmap expected(c.width, 2100);
    for (unsigned y = 0; y < 48; ++y) {
      for (unsigned x = 0; x < 10; ++x) expected.Set(x, y);
    }
    EXPECT_EQ(DotDifference(expected, drawn), "");
  }

  for (const char* bad : {"A9x", "16.5x11"}) {
    SCOPED_TRACE(bad);
    const Outcome run = Preview(Path("job.prn") + " -o " + Path("bad") + " --page-size " + bad);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("ERROR: Bad --page-size value \"" + std::string(bad) + "\": ", 0), 0u)
        << run.err;
  }
}

// The LQ bit images whose paper feed between bands is still to be checked on
// a printer say so on their page's line; the others do not.
TEST_F(PreviewProgramTest, PagesOfUnconfirmedGeometryAreSaidToBe) {
  const std::string unconfirmed =
      "; unconfirmed: how the printer feeds the paper between these bands (drawn as read)";
  WriteFile("job.prn", testing::PrintJob({{"LQ", 180, 180, Solid(8, 24)},
                                          {"LQ", 360, 360, Solid(8, 24)},
                                          {"LQ", 120, 180, Solid(8, 24)},
                                          {"LQ", 360, 180, Solid(8, 24)},
                                          {"Native", 360, 360, Solid(8, 24)}}));
  const Outcome run = Preview(Path("job.prn") + " -o " + Path("out"));
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  for (const bool said : {false, true, true, false, false}) {
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.ends_with(unconfirmed), said) << line;
  }
}

TEST_F(PreviewProgramTest, CaptureOfSeveralJobsDrawsEachJobsPages) {
  // Three jobs one after another, as a printer's connection carries them: an
  // LQ job ends with ESC @, a native one after its form feed.
  const std::vector<uint8_t> first = testing::PrintJob({{"LQ", 180, 180, Solid(10, 48)}});
  const std::vector<uint8_t> second = testing::PrintJob({{"Native", 180, 180, Solid(9, 30)}});
  const std::vector<uint8_t> third =
      testing::PrintJob({{"LQ", 180, 180, Solid(4, 24)}, {"LQ", 180, 180, Solid(5, 24)}});
  std::vector<uint8_t> capture = first;
  capture.insert(capture.end(), second.begin(), second.end());
  capture.insert(capture.end(), third.begin(), third.end());
  WriteFile("capture.prn", capture);

  const Outcome run = Preview(Path("capture.prn") + " -o " + Path("out"));
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines;
  std::istringstream text(run.out);
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 6u) << run.out;
  EXPECT_EQ(lines[1], "job 2 starts at byte " + std::to_string(first.size()));
  EXPECT_EQ(lines[3], "job 3 starts at byte " + std::to_string(first.size() + second.size()));
  const char* pages[] = {"page-1.png: LQ",           "",
                         "job-2-page-1.png: native", "",
                         "job-3-page-1.png: LQ",     "job-3-page-2.png: LQ"};
  for (size_t i = 0; i < lines.size(); ++i) {
    if (*pages[i] != '\0') {
      EXPECT_TRUE(lines[i].starts_with(pages[i])) << lines[i];
    }
  }
  PackedBitmap drawn;
  ASSERT_TRUE(testing::ReadPngDots(Path("out/job-2-page-1.png"), &drawn));
  EXPECT_EQ(DotDifference(Solid(9, 30), drawn), "");
  ASSERT_TRUE(testing::ReadPngDots(Path("out/job-3-page-2.png"), &drawn));
  EXPECT_EQ(DotDifference(Solid(5, 24), drawn), "");

  // What is truly broken is still refused: a job cut inside its preamble.
  capture.resize(first.size() + 100);
  WriteFile("cut.prn", capture);
  const Outcome cut = Preview(Path("cut.prn") + " -o " + Path("cut"));
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.err.find("the stream ends inside the preamble: 100 of its 9800 NUL bytes"),
            std::string::npos)
      << cut.err;
  EXPECT_FALSE(fs::exists(Path("cut/page-1.png")));
}

TEST_F(PreviewProgramTest, ReadsStandardInputIntoTheCurrentDirectory) {
  WriteFile("job.prn", testing::PrintPage("Native", 120, 120, Solid(3, 3)));
  const Outcome run = Preview("-", Path("job.prn"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Pngs(), std::vector<std::string>{"page-1.png"});
  EXPECT_EQ(run.out.substr(0, 18), "page-1.png: native");
}

TEST_F(PreviewProgramTest, StreamItCannotParseWritesNothing) {
  // A good page, then a page whose first band has lost a byte: no page is
  // drawn.
  const PackedBitmap good = Solid(20, 24), bad = Solid(20, 60);
  std::vector<uint8_t> job = testing::PrintJob({{"LQ", 180, 180, good}, {"LQ", 180, 180, bad}});
  // The second page starts where a job of the first alone would end.
  size_t band = testing::PrintJob({{"LQ", 180, 180, good}}).size() - 2;
  while (!(job[band] == 0x1B && job[band + 1] == '*')) ++band;
  job.erase(job.begin() + static_cast<long>(band + 5 + 10));
  WriteFile("bad.prn", job);

  const Outcome run = Preview(Path("bad.prn") + " -o " + dir_);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("ERROR: " + Path("bad.prn") + ": byte ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("bit image at byte " + std::to_string(band) + " short of data"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(Pngs(), std::vector<std::string>{});
}

TEST_F(PreviewProgramTest, UsageAndFileErrors) {
  WriteFile("job.prn", testing::PrintPage("LQ", 180, 180, Solid(2, 2)));
  const struct {
    std::string args;
    std::string error;
  } cases[] = {
      {"", "ERROR: Usage: zova-preview STREAM [-o DIR]"},
      {Path("job.prn") + " -x", "ERROR: Usage: zova-preview STREAM [-o DIR]"},
      {Path("job.prn") + " -o", "ERROR: Usage: zova-preview STREAM [-o DIR]"},
      {Path("missing.prn"), "ERROR: cannot read " + Path("missing.prn") + ": No such file"},
      {Path("job.prn") + " -o " + Path("job.prn/out"),
       "ERROR: cannot create directory " + Path("job.prn/out") + ": Not a directory"},
      {dir_, "ERROR: cannot read " + dir_ + ": Is a directory"},
  };
  for (const auto& c : cases) {
    const Outcome run = Preview(c.args);
    EXPECT_EQ(run.status, 1) << c.args;
    EXPECT_EQ(run.err.rfind(c.error, 0), 0u) << c.args << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.args;
  }
  EXPECT_EQ(Pngs(), std::vector<std::string>{});
}

TEST_F(PreviewProgramTest, OutputDirectoryIsMadeAndAFailedRunLeavesNothing) {
  WriteFile("job.prn", testing::PrintPage("LQ", 180, 180, Solid(2, 2)));
  WriteFile("bad.prn", Job(kNativeStart));
  const Outcome made = Preview(Path("job.prn") + " -o " + Path("new/dir"));
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(fs::is_regular_file(Path("new/dir/page-1.png")));

  const Outcome failed = Preview(Path("bad.prn") + " -o " + Path("other/dir"));
  EXPECT_EQ(failed.status, 1);
  EXPECT_FALSE(fs::exists(Path("other")));

  // A page that cannot be written takes back the pages written before it.
  fs::create_directories(Path("busy/page-2.png"));
  WriteFile("two.prn",
            testing::PrintJob({{"LQ", 180, 180, Solid(2, 2)}, {"LQ", 180, 180, Solid(3, 3)}}));
  const Outcome blocked = Preview(Path("two.prn") + " -o " + Path("busy"));
  EXPECT_EQ(blocked.status, 1);
  EXPECT_EQ(blocked.err, "ERROR: cannot write " + Path("busy/page-2.png") + ": Is a directory\n");
  EXPECT_EQ(blocked.out, "");
  EXPECT_FALSE(fs::exists(Path("busy/page-1.png")));
}

// A native page: `setup`, then a band of `columns` columns with their top dot.
Bytes NativePage(const Bytes& setup, size_t columns) {
  Bytes dots;
  for (size_t c = 0; c < columns; ++c) dots = dots + testing::kTopDot;
  return kNativeStart + setup + Bytes{0x0D} + NativeImage(dots) + Bytes{0x0C};
}

Bytes Repeat(const Bytes& page, size_t n) {
  Bytes pages;
  for (size_t i = 0; i < n; ++i) pages.insert(pages.end(), page.begin(), page.end());
  return pages;
}

TEST_F(PreviewProgramTest, HostileStreamsStayWithinOnePageOfMemory) {
  // ESC F 38 4 is 384 lines, 64 inches; 255 9 is 2559 lines.
  const Bytes longest = {0x1B, 'F', 38, 4};
  const struct {
    const char* what;
    Bytes stream;
    size_t pages;       // written when the stream is good
    const char* error;  // "byte N: ..." when it is not
    const char* last;   // the last summary line
  } cases[] = {
      {"a page 426 inches long", Job(NativePage({0x1B, 'F', 255, 9}, 1)), 0,
       "byte 9807: ESC F sets a page of 2559 lines (426.50 inches), longer than the longest form "
       "(64 inches)",
       nullptr},
      {"a band 64 inches across", Job(NativePage({}, 11520)), 0,
       "byte 9808: the band reaches 64.00 inches across, beyond the widest carriage (16 inches)",
       nullptr},
      {"a good page, then one too long", Job(NativePage({}, 1) + NativePage({0x1B, 'F', 99, 0}, 1)),
       0,
       "byte 9824: ESC F sets a page of 990 lines (165.00 inches), longer than the longest form "
       "(64 inches)",
       nullptr},
      {"4,096 pages of one dot", Job(Repeat(NativePage({}, 1), 4096)), 4096, nullptr,
       "page-4096.png: native, 180x180 dpi (density not in the stream), 1x24 dots, 1 bands, 1 "
       "dots printed"},
      // Each page holds 4 MiB of dots: all of them together would not fit.
      {"96 pages of 16 by 64 inches", Job(Repeat(NativePage(longest, 2880), 96)), 96, nullptr,
       "page-96.png: native, 180x180 dpi (density not in the stream), 2880x11520 dots, 1 bands, "
       "2880 dots printed"},
  };
  const std::string tmp = Path("tmp");
  fs::create_directory(tmp);

  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile("job.prn", c.stream);
    testing::ProcessOptions run =
        testing::Command({ZOVA_PREVIEW_PROGRAM, Path("job.prn"), "-o", Path("out")});
    run.env = {{"TMPDIR", tmp}};
    run.addressSpaceLimit = 256 << 20;
    const testing::ProcessResult r = testing::RunProcess(run);
    EXPECT_TRUE(fs::is_empty(tmp)) << "the summary spool has no name";
    if (c.error != nullptr) {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "ERROR: " + Path("job.prn") + ": " + c.error + "\n");
      EXPECT_EQ(r.out, "");
      EXPECT_FALSE(fs::exists(Path("out")));
      continue;
    }
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<long>(c.pages));
    EXPECT_TRUE(r.out.ends_with(std::string("\n") + c.last + "\n"))
        << r.out.substr(r.out.size() - 200);
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("out")), {}), static_cast<long>(c.pages));
    fs::remove_all(Path("out"));
  }
}

}  // namespace
}  // namespace zova
