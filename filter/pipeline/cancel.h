// Whether the job has been cancelled. The page loop asks at every page, the
// spool pass and the read-back at every row, and a child program's wait
// every 100 ms; the filter answers from SIGTERM, the printer application
// from the job.
#pragma once

#include <functional>
#include <utility>

namespace zova {

class CancelToken {
 public:
  CancelToken() = default;  // never cancelled
  explicit CancelToken(std::function<bool()> asked) : asked_(std::move(asked)) {}
  bool canceled() const { return asked_ && asked_(); }

 private:
  std::function<bool()> asked_;
};

}  // namespace zova
