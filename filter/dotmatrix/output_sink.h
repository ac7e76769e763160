// The one place printer bytes leave the driver: a buffered FILE* (standard
// output for the filter, a stream over the device for the printer
// application). The first failed write is reported once, naming the reason,
// and remembered; later writes are dropped, and ok() tells the caller to end
// the job.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>

#include "messages/messages.h"

namespace zova {

// Says on standard error, as CUPS's backends do, when a pipe or socket has
// taken nothing for a while, and when it takes data again.
class StallReport;

class OutputSink {
 public:
  OutputSink(FILE* file, Messages& messages);
  ~OutputSink();
  OutputSink(OutputSink&&) noexcept;

  void Put(uint8_t byte) {
    if (error_ == 0 && putc_unlocked(byte, file_) == EOF) Fail();
  }
  void Put(std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) Put(b);
  }
  void Put(const uint8_t* data, size_t len);
  // Hands what is buffered on to the printer: after every band and page, so
  // the printer keeps printing while the next band is made.
  void Flush();

  bool ok() const { return error_ == 0; }

 private:
  void Fail();

  FILE* file_;
  Messages* messages_;
  int error_ = 0;  // errno of the first failed write
  std::unique_ptr<StallReport> stall_;
};

}  // namespace zova
