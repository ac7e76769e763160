// Reading a spooled page back: the 1-bit rows as printed, from the
// thresholded spool image, the tool's halftone, or both, region by region.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pipeline/printer_job.h"
#include "pipeline/region_map.h"
#include "pipeline/spool_files.h"

namespace zova {

// A spool file the page's rows are read back from, and what they are.
struct ReadBack {
  std::string path;
  int iPbmHeadLen = 0;
  size_t rowBytes = 0;  // bytes per row in the file
  uint8_t padding = 0;  // fills a short last row: white in either format
  // The rows as the log line reports them.
  unsigned cupsWidth = 0;
  unsigned cupsHeight = 0;
  unsigned perLine = 0;
};

// Reads one spool file back row by row.
class RowReader {
 public:
  explicit RowReader(Messages& messages) : messages_(&messages) {}
  // Opens the file and skips its header, with the progress lines of both.
  [[nodiscard]] bool Open(const ReadBack& rb);
  // The next row, in place in the reader's buffer; a row cut short by the
  // end of the file is padded. Null at the end, after the progress line that
  // names `buffer`.
  uint8_t* Next(const char* buffer);
  const ReadBack& readBack() const { return rb_; }

 private:
  Messages* messages_;
  ReadBack rb_;
  SpoolReader reader_;
};

// Reads the page's rows (from `text`, `picture`, or both composed by
// `regions`) and hands each printed row to the bands until the plan's rows
// are done, a file ends or the job is cancelled. Returns false when the
// printer stream has failed.
bool PrintRows(PrinterJob& job, const PagePlan& plan, RowReader* text, RowReader* picture,
               const RegionMap* regions);

}  // namespace zova
