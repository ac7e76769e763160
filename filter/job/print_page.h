// A spooled page from its classification to the form feed.
#pragma once

#include "job/page_request.h"
#include "job/page_spool.h"
#include "job/printer_job.h"

namespace zova {

enum class PageResult {
  kPrinted,  // ended with a form feed
  kSkipped,  // refused: nothing written, its rows read and dropped
  kFailed,   // the job cannot go on; the error line is out
};

// Classifies the page by its dark ratio, has the halftoning tool screen a
// picture page or thresholds a text page, plans the page, prints its rows
// through the band routines and removes its spool files. A cancel stops the
// rows; the page is still ended.
PageResult PrintSpooledPage(PrinterJob& job, const PageRequest& request, PageSpool& spool);

}  // namespace zova
