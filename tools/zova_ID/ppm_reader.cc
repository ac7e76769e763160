// The header follows the PPM rules: "P6", then width, height and maxval as
// decimal numbers separated by whitespace, where a '#' starts a comment that
// runs to the end of its line, then exactly one whitespace byte before the
// pixels. The filter writes "P6\nW H\n255\n"; other writers may add comments.
#include "zova_ID/ppm_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zova {
namespace {

constexpr int kMaxval = 255;
constexpr size_t kReadBuffer = 1 << 16;
constexpr long kNumberCap = 1L << 40;  // stays far above every limit, far below overflow
constexpr size_t kNumberTextMax = 24;

bool IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

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

// Returns the first byte after any whitespace and comments, or EOF.
int PpmReader::SkipSpaceAndComments() {
  int c = getc(file_.get());
  for (;;) {
    if (c == '#') {
      while (c != EOF && c != '\n' && c != '\r') c = getc(file_.get());
    } else if (IsSpace(c)) {
      c = getc(file_.get());
    } else {
      return c;
    }
  }
}

// Reads a decimal number and the byte that ends it. Digits beyond what fits
// are still read, so the message can show the number as written.
bool PpmReader::ReadNumber(const char* what, Number* number) {
  int c = SkipSpaceAndComments();
  if (c < '0' || c > '9') {
    if (ferror(file_.get())) {
      fprintf(stderr, "ERROR: zova_ID: cannot read %s: %s\n", path_.c_str(), strerror(errno));
    } else {
      fprintf(stderr, "ERROR: zova_ID: %s: the PPM header has no %s\n", path_.c_str(), what);
    }
    return false;
  }
  number->value = 0;
  number->text.clear();
  for (; c >= '0' && c <= '9'; c = getc(file_.get())) {
    number->value = std::min(number->value * 10 + (c - '0'), kNumberCap);
    if (number->text.size() < kNumberTextMax) number->text += static_cast<char>(c);
  }
  // A number ends in whitespace or at the start of a comment.
  if (c != '#' && !IsSpace(c)) {
    fprintf(stderr, "ERROR: zova_ID: %s: the PPM header has a bad %s\n", path_.c_str(), what);
    return false;
  }
  number->end = c;
  return true;
}

bool PpmReader::ReadHeader() {
  char magic[2] = {};
  if (fread(magic, 1, 2, file_.get()) != 2 || magic[0] != 'P' || magic[1] != '6') {
    if (ferror(file_.get())) {
      fprintf(stderr, "ERROR: zova_ID: cannot read %s: %s\n", path_.c_str(), strerror(errno));
    } else {
      fprintf(stderr, "ERROR: zova_ID: %s is not a P6 PPM image\n", path_.c_str());
    }
    return false;
  }
  Number width, height, maxval;
  if (!ReadNumber("width", &width)) return false;
  if (width.end == '#') ungetc('#', file_.get());
  if (!ReadNumber("height", &height)) return false;
  if (height.end == '#') ungetc('#', file_.get());
  if (!ReadNumber("maxval", &maxval)) return false;
  // A comment right after maxval ends in a line feed, and that line feed is
  // the one byte before the pixels.
  if (maxval.end == '#') {
    for (int c = '#'; c != EOF && c != '\n' && c != '\r';) c = getc(file_.get());
  }

  if (width.value == 0 || height.value == 0) {
    fprintf(stderr, "ERROR: zova_ID: %s: the image is empty (%sx%s)\n", path_.c_str(),
            width.text.c_str(), height.text.c_str());
    return false;
  }
  if (width.value > kMaxWidth || height.value > kMaxHeight) {
    fprintf(stderr, "ERROR: zova_ID: %s: the image is too large (%sx%s; at most %dx%d)\n",
            path_.c_str(), width.text.c_str(), height.text.c_str(), kMaxWidth, kMaxHeight);
    return false;
  }
  if (maxval.value != kMaxval) {
    fprintf(stderr, "ERROR: zova_ID: %s: maxval %s is not supported, only 255\n", path_.c_str(),
            maxval.text.c_str());
    return false;
  }
  width_ = static_cast<int>(width.value);
  height_ = static_cast<int>(height.value);
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
