// A job option that names one of the PPD's options with a value that is
// none of its choices: each filter warns of it in the job's log and prints
// with the queue's choice, byte for byte what the job prints without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/filter_test.h"
#include "support/hand_made_stream.h"
#include "support/memory_sink.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace zova::testing {
namespace {

struct FilterRun {
  int status;
  std::string body;      // the printer stream after the preamble, in hex
  std::string warnings;  // the WARNING: lines, in order
};

FilterRun RunFilterWith(const char* filter, const std::string& input, const std::string& options) {
  ProcessOptions o;
  o.args = {filter, UniqueJobId("choices"), "user", "title", "1", options, input};
  o.env["PPD"] = std::string(ZOVA_PPD_DIR) + "/zovaqrt.ppd";
  // The self-test page's grey ramp goes through the stand-in halftoning tool.
  o.env["PATH"] = std::string(ZOVA_FIXTURE_BIN_DIR) + ":" + getenv("PATH");
  Process process(o);
  const ProcessResult r = process.Wait();
  std::string warnings;
  for (size_t at = r.err.find("WARNING: "); at != std::string::npos;
       at = r.err.find("WARNING: ", at + 1)) {
    warnings += r.err.substr(at, r.err.find('\n', at) + 1 - at);
  }
  const size_t preamble = std::min(r.out.size(), kPreamble);
  return {r.status, Hex(std::vector<uint8_t>(r.out.begin() + preamble, r.out.end())), warnings};
}

TEST(PpdChoices, EachFilterWarnsOfAValueThatIsNoneOfTheChoices) {
  TempDir dir;
  const std::string text = dir.File("in.txt");
  std::ofstream(text) << "Balance 12.345,67\n";
  const std::string command = dir.File("selftest");
  std::ofstream(command) << "#CUPS-COMMAND\nPrintSelfTestPage\n";
  const std::string raster = dir.File("page.ras");
  ASSERT_TRUE(testpage::WriteRasterFile(
      raster, {SmallPage("LQ", 180, 180, 40, 30,
                         testpage::FromBitmap(testpage::TextBitmap(40, 30, 3, 60)))}));

  // The PPD's choices, in its order, and its defaults: LQ, 180dpi, A4.
  const std::string command_set =
      "WARNING: Unknown ZovaCommandSet value \"Natve\" (LQ or Native); printing with LQ\n";
  const std::string resolution =
      "WARNING: Unknown Resolution value \"300dpi\" (180dpi, 360dpi, 120dpi, 60dpi or 240dpi); "
      "printing with 180dpi\n";
  const std::string page_size =
      "WARNING: Unknown PageSize value \"A3\" (A4, Letter, Legal, A5, 9.5x11, 11x15Rotated, "
      "140x180mm, 140x180mmRotated, ISOB6 or Custom.WIDTHxLENGTH); printing with A4\n";
  const struct {
    const char* filter;
    std::string input, options, warnings;
  } cases[] = {
      {ZOVA_FILTER_PATH, raster, "ZovaCommandSet=Natve Resolution=300dpi",
       resolution + command_set},
      // The text route prints what the raster route would: LQ, not Native.
      {ZOVA_TEXT_FILTER, text, "ZovaCommandSet=Natve", command_set},
      {ZOVA_TEXT_FILTER, text, "PageSize=A3 Resolution=300dpi", page_size + resolution},
      {ZOVA_COMMAND_FILTER, command, "Resolution=300dpi", resolution},
      // Choices as libcups takes them: any case, and custom sizes.
      {ZOVA_FILTER_PATH, raster, "ZovaCommandSet=native Resolution=360DPI", ""},
      {ZOVA_TEXT_FILTER, text, "PageSize=Custom.396.85x510.24", ""},
      // Options the filters read themselves warn in their own words, once.
      {ZOVA_FILTER_PATH, raster, "ZovaPrintAs=Photo",
       "WARNING: Unknown ZovaPrintAs value \"Photo\"; printing as Auto\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.filter) + " " + c.options);
    const FilterRun bad = RunFilterWith(c.filter, c.input, c.options);
    EXPECT_EQ(bad.status, 0);
    EXPECT_EQ(bad.warnings, c.warnings);
    if (c.warnings.empty()) continue;
    const FilterRun plain = RunFilterWith(c.filter, c.input, "");
    EXPECT_EQ(plain.warnings, "");
    EXPECT_EQ(bad.body, plain.body);
  }
}

}  // namespace
}  // namespace zova::testing
