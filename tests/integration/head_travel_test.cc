// A form through the cups-filters chain (cupsfilter to CUPS raster) and
// rastertozova with the model's PPD: ZovaFormLength=Exact ends a run of
// continuous forms where its media end, with either head travel, and Inked
// prints the same dots as Full.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "integration/private_cupsd.h"
#include "support/filter_runner.h"
#include "support/temp_dir.h"
#include "support/test_pages.h"

namespace zova::testing {
namespace {

namespace fs = std::filesystem;

const std::string kPpd = (fs::path(ZOVA_PPD_DIR) / "zovaqrt.ppd").string();

// The document's pages as rastertozova prints them with `job` options, from
// the raster cupsfilter makes of it with `chain` options.
std::vector<preview::DecodedPage> Printed(const TempDir& dir, const std::string& document,
                                          const std::vector<std::string>& chain,
                                          const std::vector<std::string>& jobs) {
  const std::string raster = dir.File("job.ras");
  const CommandResult run = ChainToRaster(kPpd, document, chain, raster);
  EXPECT_EQ(run.status, 0) << run.output;
  std::vector<preview::DecodedPage> pages;
  for (const std::string& job : jobs) {
    FilterOptions o;
    o.args = FilterArgs(UniqueJobId("travel"), raster);
    o.args[4] = job;
    o.ppd = kPpd;
    o.env["PATH"] = fs::path(ZOVA_HALFTONE_TOOL).parent_path().string() + ":/usr/bin:/bin";
    FilterResult r = RunFilter(o);
    EXPECT_EQ(r.status, 0) << job << "\n" << r.err;
    for (preview::DecodedPage& page : r.decoded.pages) pages.push_back(std::move(page));
  }
  return pages;
}

TEST(HeadTravelChain, RunOfFormsEndsWhereItsMediaEnd) {
  // The forms' lengths as the decoder reads them, 1/3600 inch: A4 is 297 mm,
  // the passbook 180 mm. Three forms in the LQ set end within 1/360 inch of
  // three media (in whole lines 2 mm short for A4); in the native set's
  // whole lines seven within half a line (in 70-line pages 4.7 mm short).
  const struct {
    const char* set;
    const char* size;
    int forms;
    double millimetres, within;
  } cases[] = {
      {"LQ", "A4", 3, 297, 10}, {"LQ", "140x180mm", 3, 180, 10}, {"Native", "A4", 7, 297, 300}};
  const TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.set) + " " + c.size);
    const std::vector<preview::DecodedPage> pages =
        Printed(dir, ZOVA_FORM_PDF,
                {"copies=" + std::to_string(c.forms), std::string("PageSize=") + c.size,
                 std::string("ZovaCommandSet=") + c.set},
                {"ZovaFormLength=Exact", "ZovaFormLength=Exact ZovaHeadTravel=Inked"});
    ASSERT_EQ(pages.size(), 2u * c.forms);
    EXPECT_EQ(testing::DotDifference(pages[0].dots, pages[c.forms].dots), "");
    for (int run = 0; run < 2; ++run) {
      long length = 0;
      for (int i = 0; i < c.forms; ++i) length += pages[run * c.forms + i].motion.page_length;
      EXPECT_NEAR(static_cast<double>(length), c.forms * c.millimetres / 25.4 * 3600, c.within)
          << (run == 0 ? "Full" : "Inked");
    }
  }
}

}  // namespace
}  // namespace zova::testing
