#include "dotmatrix/output_sink.h"

#include <cerrno>
#include <cstring>

namespace zova {

void OutputSink::Put(const uint8_t* data, size_t len) {
  if (error_ == 0 && len > 0 && fwrite(data, 1, len, file_) != len) Fail();
}

void OutputSink::Flush() {
  if (error_ == 0 && fflush(file_) != 0) Fail();
}

void OutputSink::Fail() {
  // A stream that fails without saying why is out of room.
  error_ = errno != 0 ? errno : ENOSPC;
  messages_->Error("Unable to write print data: %s", strerror(error_));
}

}  // namespace zova
