// The filter writes "P6\nW H\n255\n"; other writers may add comments.
#include "zova_ID/ppm_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "netpbm/netpbm_header.h"

namespace zova {
namespace {

constexpr uint64_t kMaxval = 255;
constexpr size_t kReadBuffer = 1 << 16;

}  // namespace

std::unique_ptr<PpmReader> PpmReader::Open(const std::string& path) {
  std::unique_ptr<FILE, Closer> file(fopen(path.c_str(), "rbe"));
  if (!file) {
    fprintf(stderr, "ERROR: zova_ID: cannot open %s: %s\n", path.c_str(), strerror(errno));
    return nullptr;
  }
  setvbuf(file.get(), nullptr, _IOFBF, kReadBuffer);
  std::unique_ptr<PpmReader> reader(new PpmReader(std::move(file), path));
  if (!reader->ReadHeader()) return nullptr;
  return reader;
}

bool PpmReader::ReadHeader() {
  const NetpbmHeader ppm = ReadNetpbmHeader(
      [this] {
        const int c = getc(file_.get());
        return c != EOF ? c : ferror(file_.get()) ? -2 : -1;
      },
      NetpbmForm::kPpm);
  switch (ppm.status) {
    case NetpbmHeader::kRead:
      break;
    case NetpbmHeader::kUnreadable:
      fprintf(stderr, "ERROR: zova_ID: cannot read %s: %s\n", path_.c_str(), strerror(errno));
      return false;
    case NetpbmHeader::kNotNetpbm:
      fprintf(stderr, "ERROR: zova_ID: %s is not a P6 PPM image\n", path_.c_str());
      return false;
    case NetpbmHeader::kNoNumber:
      fprintf(stderr, "ERROR: zova_ID: %s: the PPM header has no %s\n", path_.c_str(), ppm.field);
      return false;
    case NetpbmHeader::kBadNumber:
      fprintf(stderr, "ERROR: zova_ID: %s: the PPM header has a bad %s\n", path_.c_str(),
              ppm.field);
      return false;
  }
  if (ppm.width == 0 || ppm.height == 0) {
    fprintf(stderr, "ERROR: zova_ID: %s: the image is empty (%sx%s)\n", path_.c_str(),
            ppm.widthText.c_str(), ppm.heightText.c_str());
    return false;
  }
  if (ppm.width > uint64_t{kMaxWidth} || ppm.height > uint64_t{kMaxHeight}) {
    fprintf(stderr, "ERROR: zova_ID: %s: the image is too large (%sx%s; at most %dx%d)\n",
            path_.c_str(), ppm.widthText.c_str(), ppm.heightText.c_str(), kMaxWidth, kMaxHeight);
    return false;
  }
  if (ppm.maxval != kMaxval) {
    fprintf(stderr, "ERROR: zova_ID: %s: maxval %s is not supported, only 255\n", path_.c_str(),
            ppm.maxvalText.c_str());
    return false;
  }
  width_ = static_cast<int>(ppm.width);
  height_ = static_cast<int>(ppm.height);
  return true;
}

PpmReader::RowResult PpmReader::ReadRow(uint8_t* rgb) {
  const size_t len = 3 * static_cast<size_t>(width_);
  size_t got = at_end_ ? 0 : fread(rgb, 1, len, file_.get());
  if (got == len) {
    ++rows_read_;
    return RowResult::kRow;
  }
  if (ferror(file_.get())) return RowResult::kError;
  at_end_ = true;
  std::memset(rgb + got, 0xFF, len - got);
  return RowResult::kMissing;
}

}  // namespace zova
