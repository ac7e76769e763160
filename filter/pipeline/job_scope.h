// A job from its preamble to its end, the same for every route: the CUPS
// filters, the printer application's raster callbacks, its Ghostscript pages
// and test page, the fuzzer. A pull-style route hands RunJob its pages; a
// push-style one (PAPPL calls start, line and end) holds a JobScope and
// calls Begin, the page calls of pages() and End itself.
//
// Every job ends the same way: the job end goes to the printer whenever it
// still takes bytes, whether the job printed, was cancelled or failed, so
// the printer is left as it was found. Only a job refused before its pages,
// or one whose printer stream broke, ends without it.
#pragma once

#include <functional>

#include "pipeline/page_driver.h"

namespace zova {

// How a job went: the one answer of every route.
struct JobResult {
  int pages = 0;          // pages that went to the printer whole
  bool failed = false;    // the job could not go on; an error says why
  bool canceled = false;  // the job was cancelled
};

class JobScope {
 public:
  JobScope(JobSettings settings, OutputState& out, Messages& messages, CancelToken cancel);
  JobScope(const JobScope&) = delete;
  JobScope& operator=(const JobScope&) = delete;

  // Writes the job preamble.
  void Begin();
  // The page calls of a push-style route.
  PageDriver& pages() { return driver_; }
  // Prints the source's pages until it ends, a page fails or the job is
  // cancelled. Whatever the source throws fails the job with a reason. False
  // when the job cannot go on.
  bool Print(PageSource& source);
  // A route that writes its own pages (text) instead of handing the driver
  // rasters: `pages` writes them to the printer stream in `commands`, says
  // each page it printed whole (PagePrinted) and returns false when the job
  // cannot go on. Whatever it throws fails the job with a reason.
  bool Write(CommandSetId commands, const std::function<bool(OutputSink&)>& pages);
  // Said on, as the driver's pages are: CUPS and the application count it.
  void PagePrinted() { messages_.PagePrinted(driver_.pagesPrinted() + ++ownPages_); }
  // A failure of the route's own, its reason said already.
  void Fail() { failed_ = true; }
  // Writes the job end, unless the printer stream has failed, and says how
  // the job went. Once: later calls give the same answer.
  JobResult End();
  // Ends the job with nothing more to the printer: it was refused.
  JobResult Refuse();

  bool failed() const { return failed_ || driver_.failed(); }
  bool canceled() const { return driver_.canceled(); }
  const CancelToken& cancel() const { return driver_.cancel(); }

 private:
  OutputState& out_;
  Messages& messages_;
  PageDriver driver_;
  int ownPages_ = 0;  // printed by Write's route
  bool failed_ = false;
  bool ended_ = false;
  JobResult result_;
};

// The whole job of a pull-style route: the preamble, then `admit` (when
// given; false refuses the job, its reason said), the pages and the job end.
JobResult RunJob(JobScope& job, PageSource& source, const std::function<bool()>& admit = {});
// The same with the pages of `print`, which prints them through the job.
JobResult RunJob(JobScope& job, const std::function<void()>& print,
                 const std::function<bool()>& admit = {});

}  // namespace zova
