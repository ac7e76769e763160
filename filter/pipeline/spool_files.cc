#include "pipeline/spool_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "netpbm/netpbm_header.h"

namespace zova {
namespace {

// Spool I/O goes through large blocks: a page is tens of megabytes.
constexpr size_t kSpoolBufferSize = 512 * 1024;

// The PBM header the filter accepts: "P4\n" and a dimension line, all
// within 21 bytes, its numbers positive and within an int.
constexpr size_t kPbmHeaderMax = 21;
constexpr uint64_t kMaxDimension = 0x7FFFFFFF;

}  // namespace

SpoolPaths BuildSpoolPaths(const std::string& directory, const std::string& jobId, int page) {
  const std::string base = directory + "/nfet" + jobId + "_" + std::to_string(page);
  return {base + ".ppm", base + ".pbm", base};
}

SpoolPaths HalvedSpoolPaths(const SpoolPaths& paths) {
  const std::string base = paths.base + "h";
  return {base + ".ppm", base + ".pbm", base};
}

bool SpoolWriter::Create(const std::string& path) {
  path_ = path;
  // A file of this name may be an earlier job's leftover or a planted link:
  // remove it (never what it points to), then create ours exclusively. If
  // the name cannot be freed, the exclusive create fails and says why.
  unlink(path.c_str());
  fd_ = FileDescriptor(
      open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd_.valid()) {
    messages_->Error("Unable to create spool file %s: %s", path.c_str(), strerror(errno));
    return false;
  }
  buffer_.resize(kSpoolBufferSize);
  used_ = 0;
  return true;
}

bool SpoolWriter::Write(const uint8_t* data, size_t len) {
  if (used_ + len > buffer_.size()) {
    if (!Drain()) return false;
    // Blocks as large as the buffer go straight through.
    if (len >= buffer_.size()) return WriteAll(data, len);
  }
  memcpy(buffer_.data() + used_, data, len);
  used_ += len;
  return true;
}

bool SpoolWriter::Drain() {
  if (!WriteAll(buffer_.data(), used_)) return false;
  used_ = 0;
  return true;
}

bool SpoolWriter::WriteAll(const uint8_t* data, size_t len) {
  while (len > 0) {
    const ssize_t n = write(fd_.get(), data, len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      messages_->Error("Unable to write spool file %s: %s", path_.c_str(),
                       strerror(n < 0 ? errno : ENOSPC));
      return false;
    }
    data += n;
    len -= static_cast<size_t>(n);
  }
  return true;
}

bool SpoolWriter::Close() {
  const bool drained = Drain();
  if (!fd_.Close() && drained) {
    messages_->Error("Unable to write spool file %s: %s", path_.c_str(), strerror(errno));
    return false;
  }
  buffer_ = {};
  return drained;
}

bool SpoolReader::Open(const std::string& path) {
  fd_ = FileDescriptor(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd_.valid()) return false;
  buffer_.resize(kSpoolBufferSize);
  pos_ = end_ = 0;
  return true;
}

ssize_t SpoolReader::Next(size_t len, uint8_t** data) {
  if (end_ - pos_ < len) {
    // Keep the part of the row already read, then fill the buffer.
    memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    if (buffer_.size() < len) buffer_.resize(len);
    while (end_ < len) {
      const ssize_t n = read(fd_.get(), buffer_.data() + end_, buffer_.size() - end_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && end_ == 0) return -1;
      if (n <= 0) break;
      end_ += static_cast<size_t>(n);
    }
  }
  const size_t got = std::min(len, end_ - pos_);
  *data = buffer_.data() + pos_;
  pos_ += got;
  return static_cast<ssize_t>(got);
}

ssize_t SpoolReader::Read(uint8_t* dst, size_t len) {
  uint8_t* data = nullptr;
  const ssize_t got = Next(len, &data);
  if (got > 0) memcpy(dst, data, static_cast<size_t>(got));
  return got;
}

int CreatePpmSpool(const std::string& path, unsigned width, unsigned height, SpoolWriter* writer) {
  if (!writer->Create(path)) return -1;
  char head[64];
  const int len = snprintf(head, sizeof head, "P6\n%u %u\n255\n", width, height);
  if (!writer->Write(reinterpret_cast<const uint8_t*>(head), static_cast<size_t>(len))) return -1;
  return len;
}

PbmHeader getSize(const std::string& cFileName, Messages& messages) {
  PbmHeader header;
  FILE* file = fopen(cFileName.c_str(), "rbe");
  if (file == nullptr) return header;
  char head[kPbmHeaderMax] = {};
  const size_t got = fread(head, 1, kPbmHeaderMax, file);
  fclose(file);

  // The dimension line must end within the header's 21 bytes.
  size_t at = 0;
  const NetpbmHeader pbm = ReadNetpbmHeader(
      [&]() -> int { return at < got ? static_cast<unsigned char>(head[at++]) : -1; },
      NetpbmForm::kStrictPbm);
  if (pbm.status != NetpbmHeader::kRead || pbm.width == 0 || pbm.height == 0 ||
      pbm.width > kMaxDimension || pbm.height > kMaxDimension) {
    messages.Error(
        "%s is not a usable halftone image: expected \"P4\", then width and height on one "
        "line, within %zu bytes",
        cFileName.c_str(), kPbmHeaderMax);
    header.status = PbmHeader::kMalformed;
    return header;
  }
  header.status = PbmHeader::kRead;
  header.Width = static_cast<unsigned>(pbm.width);
  header.Height = static_cast<unsigned>(pbm.height);
  header.HeadLen = static_cast<int>(pbm.length);
  return header;
}

void RemoveSpoolFiles(const SpoolPaths& paths, bool iPicFlag, Messages& messages) {
  int ret = unlink(paths.ppm.c_str());
  if (ret != 0) messages.Error("cCommand1:%s iRet=%d errno:%d", paths.ppm.c_str(), ret, errno);
  if (iPicFlag) {
    ret = unlink(paths.pbm.c_str());
    if (ret != 0) messages.Error("cCommand2:%s iRet=%d", paths.pbm.c_str(), ret);
  }
}

}  // namespace zova
