// The filter as CUPS runs it: arguments, input, PPD identity, job start and
// end, exit status.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>

#include "support/filter_test.h"

namespace zova {
namespace {

using testing::ExpectedStream;
using testing::FilterArgs;
using testing::FilterOptions;
using testing::FilterResult;
using testing::Hex;
using testing::PpdIdentityFields;
using testing::RunFilter;
using testing::SmallPage;
using testing::WriteTestPpd;
using testpage::PageDescription;

const std::vector<uint8_t> kPreamble(kPreambleLength, kNul);

std::vector<uint8_t> PreambleThen(std::initializer_list<uint8_t> tail) {
  std::vector<uint8_t> bytes = kPreamble;
  bytes.insert(bytes.end(), tail);
  return bytes;
}

class FilterJob : public testing::FilterJobTest {};

TEST_F(FilterJob, WrongArgumentCountWritesNothing) {
  for (int count : {0, 4, 7, 8}) {
    FilterOptions o = Options("");
    o.args.resize(static_cast<size_t>(count), "x");
    const FilterResult r = RunFilter(o);
    EXPECT_EQ(r.status, 1) << count + 1 << " arguments";
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(r.err, std::string("ERROR: Usage: ") + ZOVA_FILTER_PATH +
                         " job-id user title copies options [file]\n");
  }
}

TEST_F(FilterJob, UnusableJobIdIsRefusedBeforeAnySpoolFile) {
  for (const char* id : {"", "../etc", "a/b"}) {
    FilterOptions o = Options("");
    o.args[0] = id;
    const FilterResult r = RunFilter(o);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(r.err, std::string("ERROR: Invalid job ID \"") + id + "\"\n");
  }
}

TEST_F(FilterJob, MissingInputFilePausesAndFails) {
  const std::string missing = dir.File("missing.ras");
  const auto start = std::chrono::steady_clock::now();
  const FilterResult r = RunFilter(Options(missing));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(r.err,
            "ERROR: Unable to open raster file " + missing + ": No such file or directory\n");
  // CUPS retries a filter that fails at once; the pause spaces the retries.
  EXPECT_GE(elapsed, std::chrono::milliseconds(950));
}

TEST_F(FilterJob, PpdThatCannotBeLoaded) {
  const std::string not_ppd = dir.File("notes.txt");
  FILE* f = fopen(not_ppd.c_str(), "w");
  fputs("This is not a PPD file.\n", f);
  fclose(f);
  const struct {
    const char* what;
    std::string path;
    bool set;
    const char* debug;
  } cases[] = {
      {"unset", "", false, "DEBUG: NULL PPD file pointer on line 0.\n"},
      {"missing", dir.File("none.ppd"), true, "DEBUG: Unable to open PPD file on line 0.\n"},
      {"not a PPD", not_ppd, true, "DEBUG: Missing asterisk in column 1 on line 1.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FilterOptions o = Options(dir.File("job.ras"));
    testpage::WriteRasterFile(o.args[5], {});
    o.ppd = c.path;
    o.ppdSet = c.set;
    const FilterResult r = RunFilter(o);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty()) << "nothing reaches the printer before the PPD is loaded";
    EXPECT_EQ(r.err, std::string("ERROR: The PPD file could not be opened.\n") + c.debug);
  }
}

TEST_F(FilterJob, PpdIdentityProductFirstThenManufacturer) {
  const struct {
    const char* name;
    PpdIdentityFields fields;
    const char* error;  // nullptr: accepted
  } cases[] = {
      {"valid", {}, nullptr},
      {"brackets", {"ZOVA", "[ZOVA-QRT]", "ZOVA QRT"}, nullptr},
      {"any ends", {"ZOVA", "xZOVA-QRTy", "ZOVA QRT"}, nullptr},
      {"eleven", {"ZOVA", "(ZOVA-QRT) ", "ZOVA QRT"}, "ERROR: Brand Error\n"},
      {"nine", {"ZOVA", "(ZOVA-QRT", "ZOVA QRT"}, "ERROR: Brand Error\n"},
      {"wrong product", {"ZOVA", "(ZOVA-QRX)", "ZOVA QRT"}, "ERROR: Brand Error\n"},
      {"no product", {"ZOVA", nullptr, "ZOVA QRT"}, "ERROR: Brand Error\n"},
      {"product before maker", {"ACME", "(ACME-123)", "ZOVA QRT"}, "ERROR: Brand Error\n"},
      {"ZOVAX", {"ZOVAX", "(ZOVA-QRT)", "ZOVA QRT"}, "ERROR: Manufac Error\n"},
      {"ZOV", {"ZOV", "(ZOVA-QRT)", "ZOVA QRT"}, "ERROR: Manufac Error\n"},
      {"wrong maker", {"Acme", "(ZOVA-QRT)", "ZOVA QRT"}, "ERROR: Manufac Error\n"},
      {"no maker", {nullptr, "(ZOVA-QRT)", "ZOVA QRT"}, "ERROR: Manufac Error\n"},
  };
  const std::string raster = dir.File("empty.ras");
  ASSERT_TRUE(testpage::WriteRasterFile(raster, {}));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FilterOptions o = Options(raster);
    o.ppd = WriteTestPpd(dir.path(), std::string(c.name) + ".ppd", c.fields);
    const FilterResult r = RunFilter(o);
    EXPECT_EQ(r.status, 1);
    if (c.error == nullptr) {
      // Accepted: an empty job runs to its end.
      EXPECT_EQ(Hex(r.out), Hex(PreambleThen({0x1B, 0x40})));
      EXPECT_EQ(r.err, "ERROR: No page was printed\n");
    } else {
      // Refused after the preamble has gone out.
      EXPECT_EQ(Hex(r.out), Hex(kPreamble));
      EXPECT_EQ(r.err, c.error);
    }
  }
}

TEST_F(FilterJob, OkidataNicknameStartsEveryLqPage) {
  const PageDescription page = SmallPage("LQ", 180, 180, 8, 24, testpage::Solid(0, 0, 0));
  FilterOptions o = Options(dir.File("job.ras"));
  ASSERT_TRUE(testpage::WriteRasterFile(o.args[5], {page, page}));
  o.ppd = WriteTestPpd(dir.path(), "oki.ppd", {"ZOVA", "(ZOVA-QRT)", "ZOVA QRT OKIDATA"});
  const FilterResult r = RunFilter(o);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string hex = Hex(r.out);
  const std::string setup = "1B 7B 41 1B 40 1B 36 1C 78 30";
  ASSERT_NE(hex.find(setup), std::string::npos);
  EXPECT_NE(hex.find(setup, hex.find(setup) + 1), std::string::npos) << "on the second page too";
}

TEST_F(FilterJob, JobWithoutPagesWritesPreambleAndJobEnd) {
  const FilterResult r = Run({});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Hex(r.out), Hex(PreambleThen({0x1B, 0x40})));
  EXPECT_EQ(r.err, "ERROR: No page was printed\n");
}

TEST_F(FilterJob, InputThatIsNotRasterIsAJobWithoutPages) {
  const std::string junk = dir.File("junk");
  FILE* f = fopen(junk.c_str(), "w");
  fputs("%!PS-Adobe-3.0\n", f);
  fclose(f);
  const FilterResult r = RunFilter(Options(junk));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Hex(r.out), Hex(PreambleThen({0x1B, 0x40})));
  EXPECT_EQ(r.err, "ERROR: The input is not a CUPS raster stream\nERROR: No page was printed\n");
}

TEST_F(FilterJob, ReadsRasterFromStdinOrFileAlike) {
  const PageDescription page =
      SmallPage("LQ", 180, 180, 40, 30, testpage::FromBitmap(testpage::TextBitmap(40, 30, 3, 180)));
  const std::string raster = dir.File("job.ras");
  ASSERT_TRUE(testpage::WriteRasterFile(raster, {page}));
  const FilterResult from_file = RunFilter(Options(raster));
  FilterOptions o = Options("");
  o.args = FilterArgs(job_id);
  o.stdinFile = raster;
  const FilterResult from_stdin = RunFilter(o);
  EXPECT_EQ(from_file.status, 0);
  EXPECT_EQ(from_stdin.status, 0);
  EXPECT_EQ(Hex(from_file.out), Hex(from_stdin.out));
  EXPECT_EQ(from_file.err, from_stdin.err);
}

TEST_F(FilterJob, PrinterStreamThatFailsEndsTheJob) {
  // Two pages: the job stops at the first band that cannot be written.
  const PageDescription page = SmallPage("LQ", 180, 180, 64, 48, testpage::Solid(0, 0, 0));
  const std::string raster = dir.File("job.ras");
  ASSERT_TRUE(testpage::WriteRasterFile(raster, {page, page}));
  const struct {
    const char* stdout_file;
    bool closed;
    const char* error;
  } cases[] = {
      {"/dev/full", false, "ERROR: Unable to write print data: No space left on device\n"},
      {"", true, "ERROR: Unable to write print data: Broken pipe\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    FilterOptions o = Options(raster);
    o.stdoutFile = c.stdout_file;
    o.stdoutClosed = c.closed;
    const FilterResult r = RunFilter(o);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("\nPAGE: "), std::string::npos) << "no page counted";
    EXPECT_EQ(r.err.find("V1.0 PAGE: 2"), std::string::npos) << "the job stops";
    EXPECT_EQ(testing::SpoolFilesOf(job_id), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace zova
