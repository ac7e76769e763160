#include "pipeline/job_scope.h"

#include <exception>
#include <new>

namespace zova {

JobScope::JobScope(JobSettings settings, OutputState& out, Messages& messages, CancelToken cancel)
    : out_(out),
      messages_(messages),
      driver_(std::move(settings), out, messages, std::move(cancel)) {}

void JobScope::Begin() { out_.Setup(); }

bool JobScope::Print(PageSource& source) {
  try {
    if (!PrintPages(source, driver_)) failed_ = true;
  } catch (const std::bad_alloc&) {
    messages_.Error("Out of memory on page %d", driver_.pagesBegun());
    driver_.Fail();
  } catch (const std::exception& e) {
    messages_.Error("Page %d failed: %s", driver_.pagesBegun(), e.what());
    driver_.Fail();
  }
  return !failed();
}

bool JobScope::Write(CommandSetId commands, const std::function<bool(OutputSink&)>& pages) {
  try {
    if (!pages(out_.OwnPages(commands))) failed_ = true;
  } catch (const std::bad_alloc&) {
    messages_.Error("Out of memory on page %d", ownPages_ + 1);
    failed_ = true;
  } catch (const std::exception& e) {
    messages_.Error("Page %d failed: %s", ownPages_ + 1, e.what());
    failed_ = true;
  }
  return !failed();
}

JobResult JobScope::End() {
  if (ended_) return result_;
  ended_ = true;
  result_ = {driver_.pagesPrinted() + ownPages_, failed(), canceled()};
  if (!out_.ok() || !out_.Shutdown()) {
    result_.failed = true;
  } else if (result_.pages == 0 && !result_.canceled && !result_.failed) {
    messages_.Error("No page was printed");
    result_.failed = true;
  } else if (!result_.failed && !result_.canceled) {
    messages_.Info("Printed %d page%s", result_.pages, result_.pages == 1 ? "" : "s");
  }
  return result_;
}

JobResult JobScope::Refuse() {
  if (ended_) return result_;
  ended_ = true;
  result_ = {driver_.pagesPrinted() + ownPages_, true, canceled()};
  return result_;
}

JobResult RunJob(JobScope& job, PageSource& source, const std::function<bool()>& admit) {
  return RunJob(
      job, [&] { job.Print(source); }, admit);
}

JobResult RunJob(JobScope& job, const std::function<void()>& print,
                 const std::function<bool()>& admit) {
  job.Begin();
  if (admit && !admit()) return job.Refuse();
  print();
  return job.End();
}

}  // namespace zova
