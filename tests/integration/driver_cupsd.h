// A private scheduler whose filter directory holds the driver's filters, as
// the install puts them beside CUPS's own.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "integration/private_cupsd.h"

namespace zova::testing {

// A test with a scheduler of its own; a queue prints to Output(queue).
class DriverCupsdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CupsdConfig config;
    config.cupsd = ZOVA_CUPSD;
    config.serverBin = ZOVA_CUPS_SERVERBIN;
    config.filters = {{"rastertozova", ZOVA_FILTER},
                      {"texttozova", ZOVA_TEXT_FILTER},
                      {"pdftozova", ZOVA_PDF_FILTER},
                      {"commandtozova", ZOVA_COMMAND_FILTER},
                      {"zova_ID", ZOVA_HALFTONE_TOOL}};
    std::string error;
    cupsd_ = PrivateCupsd::Start(config, &error);
    ASSERT_TRUE(cupsd_) << error;
  }

  std::filesystem::path Output(const std::string& queue) const {
    return cupsd_->dir() / "out" / (queue + ".prn");
  }

  // Queues "zova" with the model's PPD, and "raster" with the same PPD less
  // the lines that name `filter`: the queue as it printed without it.
  void AddQueuesWithAndWithout(const std::string& filter) {
    const std::filesystem::path ppd = std::filesystem::path(ZOVA_PPD_DIR) / "zovaqrt.ppd";
    std::string without;
    std::ifstream in(ppd);
    for (std::string line; std::getline(in, line);) {
      if (line.find(filter) == std::string::npos) without += line + "\n";
    }
    ASSERT_NE(without.size(), ReadFile(ppd).size()) << filter;
    std::ofstream(cupsd_->dir() / "raster.ppd") << without;
    std::string error;
    ASSERT_TRUE(cupsd_->AddQueue("zova", ppd, Output("zova"), &error)) << error;
    ASSERT_TRUE(cupsd_->AddQueue("raster", cupsd_->dir() / "raster.ppd", Output("raster"), &error))
        << error;
  }

  // The job's printer stream once it has completed.
  std::string Print(const std::string& queue, const std::vector<std::string>& options,
                    const std::string& file) {
    std::string error;
    const int job = cupsd_->Submit(queue, options, file, &error);
    EXPECT_GT(job, 0) << error;
    const JobStatus status = cupsd_->WaitForJobEnd(job, std::chrono::seconds(180));
    EXPECT_EQ(status.state, kJobCompleted) << status.stateMessage;
    return ReadFile(Output(queue));
  }

  std::unique_ptr<PrivateCupsd> cupsd_;
};

}  // namespace zova::testing
