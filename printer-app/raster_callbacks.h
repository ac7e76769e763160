// PAPPL's raster callbacks: PAPPL hands the driver one line at a time of
// PWG and Apple raster, PNG and JPEG jobs; each page is spooled and, at its
// end, printed by the page pipeline. Raw jobs in the printer's own stream
// format are copied as they are.
#pragma once

#include <pappl/pappl.h>

#include "pipeline/file_descriptor.h"

namespace zova::app {

// The printer's stream, for raw jobs (a .prn made by rastertozova).
inline constexpr const char* kRawFormat = "application/vnd.zova-qrt";

void SetRasterCallbacks(pappl_pr_driver_data_t* data);

// The job's document, open for reading; not valid, after a line in the
// job's log, when there is none or it cannot be opened.
FileDescriptor OpenJobDocument(pappl_job_t* job);

}  // namespace zova::app
