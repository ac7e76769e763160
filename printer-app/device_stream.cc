#include "device_stream.h"

namespace zova::app {

// Bands go out as soon as they are complete; a big buffer keeps the wide
// ones to one device write each, as on the filter's stdout.
constexpr size_t kStreamBufferSize = 64 * 1024;

DeviceStream::DeviceStream(pappl_device_t* device) : device_(device) {
  cookie_io_functions_t io = {};
  io.write = &DeviceStream::Write;
  stream_ = fopencookie(this, "w", io);
  if (stream_ != nullptr) setvbuf(stream_, nullptr, _IOFBF, kStreamBufferSize);
}

DeviceStream::~DeviceStream() {
  if (stream_ != nullptr) fclose(stream_);
}

ssize_t DeviceStream::Write(void* cookie, const char* data, size_t size) {
  auto* self = static_cast<DeviceStream*>(cookie);
  // After one failure nothing more goes out: a stream with a hole in it
  // would print garbage.
  if (self->failed_ || papplDeviceWrite(self->device_, data, size) < 0) {
    self->failed_ = true;
    return 0;
  }
  return static_cast<ssize_t>(size);
}

bool DeviceStream::Flush() {
  if (stream_ == nullptr || fflush(stream_) != 0) failed_ = true;
  if (!failed_) papplDeviceFlush(device_);
  return !failed_;
}

}  // namespace zova::app
