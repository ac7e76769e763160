// A private scheduler whose filter directory holds the driver's filters, as
// the install puts them beside CUPS's own.
#pragma once

#include <memory>
#include <string>

#include "integration/private_cupsd.h"

namespace zova::testing {

inline std::unique_ptr<PrivateCupsd> StartDriverCupsd(std::string* error) {
  CupsdConfig config;
  config.cupsd = ZOVA_CUPSD;
  config.serverBin = ZOVA_CUPS_SERVERBIN;
  config.filters = {{"rastertozova", ZOVA_FILTER},
                    {"texttozova", ZOVA_TEXT_FILTER},
                    {"commandtozova", ZOVA_COMMAND_FILTER},
                    {"zova_ID", ZOVA_HALFTONE_TOOL}};
  return PrivateCupsd::Start(config, error);
}

}  // namespace zova::testing
