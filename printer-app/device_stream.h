// A stdio stream over a PAPPL device, so that the output routines, which
// write to a FILE*, print through papplDeviceWrite.
#pragma once

#include <pappl/pappl.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "device_status.h"
#include "pipeline/cancel.h"

namespace zova::app {

class DeviceStream {
 public:
  // Null stream() when the stream cannot be made (out of memory). `uri`
  // is the device's. On a network printer that stops taking data, a write
  // gives up once `cancel` says so, where it would wait for good.
  // With `job`, a device that can say why it stops (device_status.h) is
  // asked, and the job waits while it cannot print.
  DeviceStream(pappl_device_t* device, std::string uri, const CancelToken& cancel,
               pappl_job_t* job = nullptr);
  ~DeviceStream();
  DeviceStream(const DeviceStream&) = delete;
  DeviceStream& operator=(const DeviceStream&) = delete;

  FILE* stream() const { return stream_; }
  // Is shown every byte the device has taken, as it goes.
  void Tap(std::function<void(const char* data, size_t size)> tap) { tap_ = std::move(tap); }
  // Whether any write to the device failed: the printer has not got
  // everything, so the job must not count as printed.
  bool failed() const { return failed_; }
  // Flushes the stream and the device; false when anything failed.
  bool Flush();
  // Flushes, then, on a network printer, waits until the printer has taken
  // every byte (its TCP stack has acknowledged them); false, and failed(),
  // when the connection broke first. After a cancel it waits for the bytes
  // already sent while the printer takes them; false once it has taken none
  // for a second.
  bool Delivered();

 private:
  static ssize_t Write(void* cookie, const char* data, size_t size);
  // Waits until the printer's connection takes more data; false on a
  // cancel.
  bool Writable();

  pappl_device_t* device_;
  std::string uri_;
  const CancelToken& cancel_;
  int socket_ = -1;  // the connection of a network printer
  std::unique_ptr<DeviceWatch> watch_;
  FILE* stream_ = nullptr;
  bool failed_ = false;
  std::function<void(const char*, size_t)> tap_;
};

// Whether the connection of a socket:// device `uri` no longer stands: the
// printer ended it, or it broke under an earlier job.
bool ConnectionBroken(pappl_device_t* device, const std::string& uri);

}  // namespace zova::app
