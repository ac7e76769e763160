// A spooled page from its plan to the form feed.
#pragma once

#include "pipeline/page_request.h"
#include "pipeline/page_spool.h"
#include "pipeline/printer_job.h"

namespace zova {

enum class PageResult {
  kPrinted,  // ended with a form feed
  kSkipped,  // refused: nothing written, its rows read and dropped
  kFailed,   // the job cannot go on; the error is out
};

// Plans the page from its counts, has its pictures halftoned and its text
// thresholded as the plan says, prints its rows through the band routines,
// with `lines` in the printer's fonts between them, and removes its spool
// files. A cancel stops the rows; the page is still ended, without lines.
PageResult PrintSpooledPage(PrinterJob& job, const PageRequest& request, PageSpool& spool,
                            PageLines* lines = nullptr);

}  // namespace zova
