#include "pipeline/page_driver.h"

#include <exception>
#include <new>

namespace zova {

PageDriver::PageDriver(JobSettings settings, OutputState& out, Messages& messages,
                       CancelToken cancel)
    : job_{std::move(settings), out, messages, std::move(cancel)} {}

PageDriver::~PageDriver() = default;

// Runs one step of the driver; whatever it throws ends the job, with the
// page's spool files removed.
template <typename Step>
auto PageDriver::Guarded(Step step, decltype(step()) failed) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    job_.messages.Error("Out of memory on page %d", page_);
  } catch (const std::exception& e) {
    job_.messages.Error("Page %d failed: %s", page_, e.what());
  }
  Fail();
  return failed;
}

void PageDriver::Fail() {
  spool_.reset();
  request_.reset();
  failed_ = true;
}

PageDriver::PageStart PageDriver::BeginPage(const cups_page_header2_t& h) {
  return Guarded(
      [&] {
        ++page_;
        spool_.reset();
        request_.reset();
        rows_ = 0;
        job_.messages.Info("Printing page %d", page_);
        job_.messages.Progress(
            " V1.0 PAGE: %d %u Width:%u Height:%u PerLine:%u  RowCount:%u Resolution:%u %u "
            "pagesize:%u %u",
            page_, h.NumCopies, h.cupsWidth, h.cupsHeight, h.cupsBytesPerLine, h.cupsRowCount,
            h.HWResolution[0], h.HWResolution[1], h.PageSize[0], h.PageSize[1]);
        std::optional<PageRequest> request =
            RequestFromHeader(h, job_.settings.printAs, page_, job_.messages);
        if (!request || !CheckPageRequest(*request, page_, job_.messages)) {
          return PageStart::kSkip;
        }
        auto spool = std::make_unique<PageSpool>(job_.settings.spoolDirectory, job_.settings.jobId,
                                                 page_, job_.messages);
        if (!spool->Begin(*request, SpoolNeedsFor(*request))) {
          failed_ = true;
          return PageStart::kFail;
        }
        request_ = request;
        spool_ = std::move(spool);
        return PageStart::kRows;
      },
      PageStart::kFail);
}

std::span<uint8_t> PageDriver::Row() {
  if (!spool_ || rows_ >= request_->height) return {};
  return spool_->Row();
}

bool PageDriver::AddRow(std::span<const uint8_t> classified) {
  if (!spool_ || rows_ >= request_->height) return !failed_;
  return Guarded(
      [&] {
        ++rows_;
        if (spool_->AppendRow(classified)) return true;
        Fail();
        return false;
      },
      false);
}

PageResult PageDriver::EndPage(PageLines* lines) {
  if (!spool_) return failed_ ? PageResult::kFailed : PageResult::kSkipped;
  const PageResult result = Guarded([&] { return FinishPage(lines); }, PageResult::kFailed);
  spool_.reset();
  request_.reset();
  if (result == PageResult::kFailed) failed_ = true;
  return result;
}

PageResult PageDriver::FinishPage(PageLines* lines) {
  if (!spool_->Finish()) return PageResult::kFailed;
  const PageResult result = PrintSpooledPage(job_, *request_, *spool_, lines);
  if (result == PageResult::kPrinted) job_.messages.PagePrinted(++printed_);
  return result;
}

namespace {

// One page of the source, from its header to the form feed.
PageResult ProcessPage(PageSource& source, PageDriver& driver, const cups_page_header2_t& header) {
  switch (driver.BeginPage(header)) {
    case PageDriver::PageStart::kRows:
      break;
    case PageDriver::PageStart::kSkip:
      source.SkipPage(header, driver.cancel());
      return PageResult::kSkipped;
    case PageDriver::PageStart::kFail:
      return PageResult::kFailed;
  }
  // A source that ends early ends the pass; the page prints what arrived.
  for (unsigned y = 0; y < header.cupsHeight && !driver.canceled(); ++y) {
    if (!source.ReadRow(driver.Row())) break;
    if (!driver.AddRow(source.ClassifiedRow())) return PageResult::kFailed;
  }
  return driver.EndPage(source.Lines());
}

}  // namespace

bool PrintPages(PageSource& source, PageDriver& driver) {
  cups_page_header2_t header;
  while (source.NextPage(header)) {
    if (driver.canceled()) break;
    if (ProcessPage(source, driver, header) == PageResult::kFailed) return false;
    if (driver.canceled()) break;
  }
  return true;
}

}  // namespace zova
