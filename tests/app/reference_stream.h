// What the CUPS filter prints for the same pages: the pages written as CUPS
// raster and run through the real rastertozova with the model's PPD. The
// printer application must print exactly this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/image_files.h"

namespace zova::testing {

struct ReferencePage {
  Image image;
  unsigned dpi[2] = {180, 180};
  unsigned pageSize[2] = {595, 842};  // points, as PAPPL's header has them
};

// The filter's stream, or an empty one with the reason in `error`. `options`
// are the job's CUPS options, e.g. "ZovaPrintAs=Picture".
std::vector<uint8_t> FilterStream(const std::vector<ReferencePage>& pages,
                                  const std::string& command_set, const std::string& ppd,
                                  std::string* error, const std::string& options = "");

// A PWG raster document of the pages, as an IPP client sends one.
bool WritePwgRaster(const std::string& path, const std::vector<ReferencePage>& pages);

}  // namespace zova::testing
