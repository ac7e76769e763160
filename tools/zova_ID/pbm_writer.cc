// The filter reads the header in at most 21 bytes and knows no comments, so
// the header is exactly "P4\n", the dimensions and one line feed.
#include "zova_ID/pbm_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zova {
namespace {

constexpr mode_t kFileMode = 0600;
constexpr size_t kWriteBuffer = 1 << 16;

}  // namespace

void PbmWriter::Fail(const char* what) {
  fprintf(stderr, "ERROR: zova_ID: cannot %s %s: %s\n", what, temp_path_.c_str(), strerror(errno));
}

bool PbmWriter::Create(const std::string& path, int width, int height) {
  path_ = path;
  row_bytes_ = (static_cast<size_t>(width) + 7) / 8;
  // mkostemp opens with O_CREAT | O_EXCL: a name that exists, a symlink
  // included, is never opened, and the new file is ours alone.
  std::string pattern = path + ".XXXXXX";
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) {
    fprintf(stderr, "ERROR: zova_ID: cannot create a file beside %s: %s\n", path.c_str(),
            strerror(errno));
    return false;
  }
  temp_path_ = pattern;
  // The umask may have taken bits away; the filter must be able to read it.
  if (fchmod(fd_, kFileMode) != 0) {
    Fail("set the mode of");
    return false;
  }
  buffer_.reserve(std::max(kWriteBuffer, row_bytes_));
  char header[32];
  const int len = snprintf(header, sizeof header, "P4\n%d %d\n", width, height);
  return Write(header, static_cast<size_t>(len));
}

bool PbmWriter::WriteRow(const uint8_t* packed) { return Write(packed, row_bytes_); }

bool PbmWriter::Write(const void* data, size_t len) {
  if (buffer_.size() + len > buffer_.capacity() && !Flush()) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  buffer_.insert(buffer_.end(), bytes, bytes + len);
  return true;
}

bool PbmWriter::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      Fail("write");
      return false;
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool PbmWriter::Commit() {
  if (!Flush()) return false;
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) {
    Fail("write");
    return false;
  }
  if (rename(temp_path_.c_str(), path_.c_str()) != 0) {
    fprintf(stderr, "ERROR: zova_ID: cannot rename %s to %s: %s\n", temp_path_.c_str(),
            path_.c_str(), strerror(errno));
    return false;
  }
  temp_path_.clear();
  return true;
}

PbmWriter::~PbmWriter() {
  if (fd_ >= 0) close(fd_);
  if (!temp_path_.empty()) unlink(temp_path_.c_str());
}

}  // namespace zova
