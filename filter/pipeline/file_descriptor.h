// A file descriptor that closes itself.
#pragma once

namespace zova {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  ~FileDescriptor();

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release();
  // Closes now; returns false (errno set) if close reported an error.
  bool Close();

 private:
  int fd_ = -1;
};

}  // namespace zova
