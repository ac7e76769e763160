// The one way a page goes to the printer, whoever supplies it: the CUPS
// raster of the filter, the printer application's raster callbacks or its
// Ghostscript pages, or a fuzzer's bytes. A page is a raster header, its rows
// and its end: the driver builds the request from the header, checks it
// against the printer, spools the rows, then plans and prints the page.
//
// No exception leaves the driver: running out of memory, or anything else
// thrown on the way, ends the job with a reason. The job around the pages,
// its preamble and its end, is JobScope's.
#pragma once

#include <cups/raster.h>

#include <memory>
#include <optional>
#include <span>

#include "pipeline/page_request.h"
#include "pipeline/page_spool.h"
#include "pipeline/print_page.h"
#include "pipeline/printer_job.h"

namespace zova {

class PageDriver {
 public:
  PageDriver(JobSettings settings, OutputState& out, Messages& messages, CancelToken cancel);
  ~PageDriver();
  PageDriver(const PageDriver&) = delete;
  PageDriver& operator=(const PageDriver&) = delete;

  enum class PageStart {
    kRows,  // the page is spooling: its rows are wanted
    kSkip,  // the printer cannot take the page: its rows are dropped
    kFail,  // the job cannot go on
  };
  // Begins the page of `header`, whose rows are 24-bit RGB of
  // cupsBytesPerLine bytes: announces it, builds its request, checks it
  // against the printer and opens its spool.
  PageStart BeginPage(const cups_page_header2_t& header);
  // The page's row buffer: fill it with the next row, then AddRow. Empty for
  // a page that takes no rows.
  std::span<uint8_t> Row();
  // Spools the row in Row(), classifying the page by `classified` when
  // given (the row as drawn, where Row() has had its text taken out). False
  // when the job cannot go on; rows beyond the page's height, and those of
  // a skipped page, are dropped.
  bool AddRow(std::span<const uint8_t> classified = {});
  // Prints the page that has begun, from what it has spooled, with `lines`
  // in the printer's fonts between its bands.
  PageResult EndPage(PageLines* lines = nullptr);
  // Drops the page in hand, its spool files removed: the job cannot go on.
  void Fail();

  bool failed() const { return failed_; }
  bool canceled() const { return job_.cancel.canceled(); }
  const CancelToken& cancel() const { return job_.cancel; }
  int pagesBegun() const { return page_; }
  int pagesPrinted() const { return printed_; }

 private:
  template <typename Step>
  auto Guarded(Step step, decltype(step()) failed);
  PageResult FinishPage(PageLines* lines);

  PrinterJob job_;
  int page_ = 0;     // pages begun
  int printed_ = 0;  // pages printed whole
  bool failed_ = false;
  std::optional<PageRequest> request_;
  unsigned rows_ = 0;  // rows spooled of the page in hand
  std::unique_ptr<PageSpool> spool_;
};

// Where a job's pages come from, read in order.
class PageSource {
 public:
  virtual ~PageSource() = default;
  // The next page's header, its rows 24-bit RGB; false at the end.
  virtual bool NextPage(cups_page_header2_t& header) = 0;
  // The page's next row into `row`; false when the page ends early.
  virtual bool ReadRow(std::span<uint8_t> row) = 0;
  // Passes over the rows of a page that is not printed.
  virtual void SkipPage(const cups_page_header2_t& header, const CancelToken& cancel) = 0;
  // The row just read as the page is classified by, when it differs from
  // the row printed; empty otherwise.
  virtual std::span<const uint8_t> ClassifiedRow() { return {}; }
  // Lines the page prints in the printer's fonts, asked once its rows are
  // read; they live until the next page.
  virtual PageLines* Lines() { return nullptr; }
};

// Prints the source's pages, one after another, until it ends, a page fails
// or the job is cancelled (the page in hand is still ended). False when a
// page failed.
bool PrintPages(PageSource& source, PageDriver& driver);

}  // namespace zova
