// Common ground of the whole-job tests: a scratch directory with a valid
// PPD, a job ID of the test's own, the test halftoning tool first on PATH,
// and the check that no spool file outlives a job.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dotmatrix/commands.h"
#include "support/expected_stream.h"
#include "support/filter_runner.h"
#include "support/memory_sink.h"
#include "support/temp_dir.h"
#include "support/test_ppd.h"
#include "testpage/testpage.h"

namespace zova::testing {

class FilterJobTest : public ::testing::Test {
 protected:
  FilterJobTest()
      : job_id(UniqueJobId("t")),
        ppd(WriteTestPpd(dir.path(), "zova.ppd")),
        tool_log(dir.File("tool.log")) {}

  void TearDown() override {
    EXPECT_EQ(SpoolFilesOf(job_id), std::vector<std::string>{}) << "spool files left behind";
  }

  // Options for a job whose raster is in `raster`, with the test tool.
  FilterOptions Options(const std::string& raster) const {
    FilterOptions o;
    o.args = FilterArgs(job_id, raster);
    o.ppd = ppd;
    o.env["PATH"] = std::string(ZOVA_FIXTURE_BIN_DIR) + ":" + getenv("PATH");
    o.env["ZOVA_FIXTURE_LOG"] = tool_log;
    return o;
  }

  // Writes the pages to a raster file and runs the filter on it. A page cut
  // short needs the uncompressed encoding: the compressed one holds back
  // repeated rows until the page is complete.
  FilterResult Run(const std::vector<testpage::PageDescription>& pages,
                   const std::map<std::string, std::string>& env = {}, bool compressed = true) {
    const std::string raster = dir.File("job.ras");
    EXPECT_TRUE(testpage::WriteRasterFile(raster, pages, compressed));
    FilterOptions o = Options(raster);
    for (const auto& [k, v] : env) o.env[k] = v;
    return RunFilter(o);
  }

  // Writes the pages to a raster file and runs the filter on it with the
  // job's options (argv[5], e.g. "ZovaPrintAs=Mixed").
  FilterResult RunWith(const std::vector<testpage::PageDescription>& pages,
                       const std::string& options) {
    const std::string raster = dir.File("job.ras");
    EXPECT_TRUE(testpage::WriteRasterFile(raster, pages));
    return RunOn(raster, options);
  }
  FilterResult RunOn(const std::string& raster, const std::string& options) const {
    FilterOptions o = Options(raster);
    o.args[4] = options;
    return RunFilter(o);
  }

  // Lines the test tool logged: "BASE DPI MODE [YDPI]".
  std::vector<std::string> ToolCalls() const;

  // The spool base of page `page` of this job.
  std::string SpoolBase(int page) const {
    return "/tmp/nfet" + job_id + "_" + std::to_string(page);
  }

  TempDir dir;
  std::string job_id;
  std::string ppd;
  std::string tool_log;
};

// A small page of the given content.
testpage::PageDescription SmallPage(const std::string& type, unsigned r0, unsigned r1,
                                    unsigned width, unsigned height, testpage::RowFill fill);

}  // namespace zova::testing
