// PAPPL's raster callbacks: PAPPL hands the driver one line at a time of
// PWG and Apple raster, PNG and JPEG jobs; each page is spooled and, at its
// end, printed by the page pipeline. Raw jobs in the printer's own stream
// format are copied as they are.
#pragma once

#include <pappl/pappl.h>

namespace zova::app {

// The printer's stream, for raw jobs (a .prn made by rastertozova).
inline constexpr const char* kRawFormat = "application/vnd.zova-qrt";

void SetRasterCallbacks(pappl_pr_driver_data_t* data);

}  // namespace zova::app
