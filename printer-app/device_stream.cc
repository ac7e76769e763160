#include "device_stream.h"

#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "pappl_fixes/pappl_fixes.h"

namespace zova::app {

// Bands go out as soon as they are complete; a big buffer keeps the wide
// ones to one device write each, as on the filter's stdout.
constexpr size_t kStreamBufferSize = 64 * 1024;
// What a network printer is given at a time.
constexpr size_t kPiece = 4096;
// How long a cancelled job waits for a printer that has stopped
// acknowledging a page already handed to the connection.
constexpr std::chrono::seconds kCanceledPageStall{1};

namespace {

// Whether the printer's connection stands: no error, still established.
bool Connected(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  tcp_info tcp{};
  socklen_t tcp_length = sizeof tcp;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 &&
         getsockopt(fd, IPPROTO_TCP, TCP_INFO, &tcp, &tcp_length) == 0 &&
         tcp.tcpi_state == TCP_ESTABLISHED;
}

}  // namespace

bool ConnectionBroken(pappl_device_t* device, const std::string& uri) {
  if (device == nullptr || uri.rfind("socket:", 0) != 0) return false;
  const int fd = pappl_fixes::DeviceSocket(device);
  return fd < 0 || !Connected(fd);
}

DeviceStream::DeviceStream(pappl_device_t* device, std::string uri, const CancelToken& cancel,
                           pappl_job_t* job)
    : device_(device), uri_(std::move(uri)), cancel_(cancel) {
  if (uri_.rfind("socket:", 0) == 0) socket_ = pappl_fixes::DeviceSocket(device_);
  if (job != nullptr && AsksDevice(uri_)) {
    watch_ = std::make_unique<DeviceWatch>(device_, job, cancel_);
  }
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
  // would print garbage. A network printer gets small pieces, each once it
  // can take them, so that a cancel is never stuck behind a full connection.
  // So is a printer that says why it stops: a piece at a time, each once it
  // can print.
  DeviceWatch* watch = self->watch_.get();
  const size_t piece = self->socket_ >= 0 || watch != nullptr ? kPiece : size;
  for (size_t done = 0; done < size && !self->failed_; done += piece) {
    const size_t length = std::min(piece, size - done);
    if (self->socket_ >= 0 && !self->Writable()) self->failed_ = true;
    if (watch != nullptr && !watch->Ready()) self->failed_ = true;
    if (watch != nullptr) watch->WriteStarted();
    if (!self->failed_ && papplDeviceWrite(self->device_, data + done, length) < 0) {
      self->failed_ = true;
    }
    if (watch != nullptr) {
      if (!self->failed_) papplDeviceFlush(self->device_);
      watch->WriteEnded();
    }
    // PAPPL keeps up to 8 KiB before it writes, and drops the errors of its
    // flush: the connection itself says whether it still stands.
    if (!self->failed_ && self->socket_ >= 0) {
      papplDeviceFlush(self->device_);
      if (!Connected(self->socket_)) self->failed_ = true;
    }
  }
  if (self->failed_) return 0;
  if (self->tap_) self->tap_(data, size);
  return static_cast<ssize_t>(size);
}

bool DeviceStream::Writable() {
  for (;;) {
    pollfd ready{socket_, POLLOUT, 0};
    if (poll(&ready, 1, 100) > 0) return true;
    if (cancel_.canceled()) return false;
  }
}

bool DeviceStream::Delivered() {
  if (!Flush()) return false;
  const int fd = socket_;
  if (fd < 0) return true;
  // A page handed to the connection before a cancel goes to the printer all
  // the same (the kernel sends it): it counts once acknowledged, as without
  // the cancel, while the printer keeps taking it. One that has stopped
  // taking data frees the job soon.
  using Clock = std::chrono::steady_clock;
  Clock::time_point progress{};
  int outstanding = -1;
  for (;;) {
    int unacknowledged = 0;
    if (!Connected(fd) || ioctl(fd, SIOCOUTQ, &unacknowledged) != 0) {
      failed_ = true;
      return false;
    }
    if (unacknowledged == 0) return true;
    if (cancel_.canceled()) {
      const Clock::time_point now = Clock::now();
      if (outstanding < 0 || unacknowledged < outstanding) progress = now;
      outstanding = unacknowledged;
      if (now - progress >= kCanceledPageStall) return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool DeviceStream::Flush() {
  if (stream_ == nullptr || fflush(stream_) != 0) failed_ = true;
  if (!failed_) papplDeviceFlush(device_);
  return !failed_;
}

}  // namespace zova::app
