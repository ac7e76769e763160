// The sample documents through the cups-filters chain (cupsfilter to CUPS
// raster) and rastertozova with the model's PPD: ZovaHeadTravel=Inked puts
// the same dots on paper as Full at every resolution in both command sets,
// and ZovaFormLength=Exact ends a run of continuous forms where its media
// end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
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

class HeadTravelChain : public ::testing::Test {
 protected:
  // The document as CUPS raster, through the PPD with `options`.
  std::string Raster(const std::string& file, const std::vector<std::string>& options) {
    const std::string raster = dir_.File("job.ras");
    const CommandResult run = ChainToRaster(Ppd(), file, options, raster);
    EXPECT_EQ(run.status, 0) << run.output;
    return raster;
  }

  // rastertozova on the raster with the job's options.
  FilterResult Print(const std::string& raster, const std::string& options) {
    FilterOptions o;
    o.args = FilterArgs(UniqueJobId("travel"), raster);
    o.args[4] = options;
    o.ppd = Ppd();
    o.env["PATH"] =
        fs::path(ZOVA_HALFTONE_TOOL).parent_path().string() + ":" + std::string(getenv("PATH"));
    FilterResult r = RunFilter(o);
    EXPECT_EQ(r.status, 0) << options << "\n" << r.err;
    return r;
  }

  static std::string Ppd() { return (fs::path(ZOVA_PPD_DIR) / "zovaqrt.ppd").string(); }

  TempDir dir_;
};

TEST_F(HeadTravelChain, StatementAndFormPrintTheSameDotsInked) {
  for (const char* set : {"LQ", "Native"}) {
    for (const char* dpi : {"60dpi", "120dpi", "180dpi", "240dpi", "360dpi"}) {
      for (const std::string& document :
           {std::string(ZOVA_SAMPLE_PDF), std::string(ZOVA_FORM_PDF)}) {
        SCOPED_TRACE(std::string(set) + " " + dpi + " " + fs::path(document).filename().string());
        const std::string raster = Raster(
            document, {std::string("ZovaCommandSet=") + set, std::string("Resolution=") + dpi});
        const FilterResult full = Print(raster, "");
        const FilterResult inked = Print(raster, "ZovaHeadTravel=Inked");
        ASSERT_EQ(inked.decoded.pages.size(), full.decoded.pages.size());
        ASSERT_FALSE(full.decoded.pages.empty());
        for (size_t i = 0; i < full.decoded.pages.size(); ++i) {
          EXPECT_EQ(DotDifference(full.decoded.pages[i].dots, inked.decoded.pages[i].dots), "")
              << "page " << i + 1;
        }
        EXPECT_LE(inked.out.size(), full.out.size());
      }
    }
  }
}

TEST_F(HeadTravelChain, RunOfFormsEndsWhereItsMediaEnd) {
  // Forms of continuous paper, from the page lengths the decoder reads
  // (1/3600 inch): A4 is 297 mm, the passbook 180 mm. Three forms in the LQ
  // set end within 1/360 inch of three media (whole lines: 2 mm short for
  // A4). In the native set's whole 1/6-inch lines seven end within half a
  // line (seven pages of 70 lines: 4.7 mm short).
  const struct {
    const char* set;
    const char* size;
    int forms;
    double millimetres;
    double within;  // 1/3600 inch
  } cases[] = {
      {"LQ", "A4", 3, 297, 10},
      {"LQ", "140x180mm", 3, 180, 10},
      {"Native", "A4", 7, 297, 300},
  };
  for (const auto& c : cases) {
    const std::string raster = Raster(
        ZOVA_FORM_PDF, {"copies=" + std::to_string(c.forms), std::string("PageSize=") + c.size,
                        std::string("ZovaCommandSet=") + c.set});
    for (const char* travel : {"Full", "Inked"}) {
      SCOPED_TRACE(std::string(c.set) + " " + c.size + " " + travel);
      const FilterResult r =
          Print(raster, std::string("ZovaFormLength=Exact ZovaHeadTravel=") + travel);
      ASSERT_EQ(r.decoded.pages.size(), static_cast<size_t>(c.forms));
      long length = 0;
      for (const preview::DecodedPage& page : r.decoded.pages) length += page.motion.page_length;
      EXPECT_NEAR(static_cast<double>(length), c.forms * c.millimetres / 25.4 * 3600, c.within);
    }
  }
}

}  // namespace
}  // namespace zova::testing
