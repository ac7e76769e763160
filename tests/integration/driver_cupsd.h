// A private scheduler whose filter directory holds the driver's filters, as
// the install puts them beside CUPS's own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

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

  std::unique_ptr<PrivateCupsd> cupsd_;
};

}  // namespace zova::testing
