// What the page routine needs from the job.
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dotmatrix/dotmatrix.h"

namespace zova {

struct JobContext {
  cups_raster_t* ras = nullptr;
  const ppd_file_t* ppd = nullptr;
  // One record, filled again by each header read; the page routine changes
  // some fields (width and resolution of reduced and halftoned pages).
  cups_page_header2_t header{};
  int page = 0;  // headers read so far; numbers the spool files
  std::string jobId;
  // Second row of each row pair on pages reduced from 360 dpi.
  std::vector<uint8_t> Plane360;
  OutputState out;
};

enum class PageResult {
  kPrinted,  // ended with a form feed
  kSkipped,  // refused: nothing written, its rows read and dropped
  kFailed,   // the job cannot go on; the error line is out
};

// Runs one page from its header to the form feed.
PageResult ProcessPage(JobContext& job);

}  // namespace zova
