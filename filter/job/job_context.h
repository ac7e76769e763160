// What the filter's page routine needs from the job.
#pragma once

#include <cups/raster.h>

#include "job/print_page.h"
#include "job/printer_job.h"

namespace zova {

struct JobContext {
  cups_raster_t* ras = nullptr;
  // One record, filled again by each header read.
  cups_page_header2_t header{};
  int page = 0;  // headers read so far; numbers the spool files
  PrintAs printAs = PrintAs::kAuto;
  PrinterJob printer;
};

// Runs one page of the raster from its header to the form feed.
PageResult ProcessPage(JobContext& job);

}  // namespace zova
