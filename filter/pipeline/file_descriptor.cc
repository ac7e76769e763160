#include "pipeline/file_descriptor.h"

#include <unistd.h>

namespace zova {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) close(fd_);
}

int FileDescriptor::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool FileDescriptor::Close() {
  const int fd = Release();
  return fd < 0 || close(fd) == 0;
}

}  // namespace zova
