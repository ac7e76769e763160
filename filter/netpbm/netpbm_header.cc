#include "netpbm/netpbm_header.h"

#include <algorithm>

namespace zova {
namespace {

constexpr uint64_t kNumberCap = uint64_t{1} << 40;
constexpr size_t kNumberTextMax = 24;
constexpr int kEnd = -1;
constexpr int kFailed = -2;

bool IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsBlank(int c) { return c == ' ' || c == '\t'; }

class Reader {
 public:
  Reader(const std::function<int()>& next, NetpbmForm form)
      : next_(next), strict_(form == NetpbmForm::kStrictPbm) {}

  int Get() {
    int c;
    if (pushed_ != kNone) {
      c = pushed_;
      pushed_ = kNone;
    } else {
      c = next_();
      if (c == kFailed) failed_ = true;
    }
    if (c >= 0) ++length_;
    return c;
  }
  void Unget(int c) {
    pushed_ = c;
    --length_;
  }

  // The byte after whitespace and comments; a strict header allows only
  // blanks, and only between the numbers.
  int SkipSpace() {
    int c = Get();
    for (;;) {
      if (!strict_ && c == '#') {
        while (c >= 0 && c != '\n' && c != '\r') c = Get();
      } else if (strict_ ? IsBlank(c) : IsSpace(c)) {
        c = Get();
      } else {
        return c;
      }
    }
  }

  // A number and the byte that ends it, which is consumed unless it starts
  // a comment. Digits beyond what fits are still read.
  NetpbmHeader::Status Number(uint64_t* value, std::string* text, int* end, bool first) {
    int c = strict_ && first ? Get() : SkipSpace();
    if (c < '0' || c > '9') return failed_ ? NetpbmHeader::kUnreadable : NetpbmHeader::kNoNumber;
    *value = 0;
    text->clear();
    for (; c >= '0' && c <= '9'; c = Get()) {
      *value = std::min(*value * 10 + static_cast<uint64_t>(c - '0'), kNumberCap);
      if (text->size() < kNumberTextMax) text->push_back(static_cast<char>(c));
    }
    if (failed_) return NetpbmHeader::kUnreadable;
    *end = c;
    if (!strict_ && c == '#') {
      Unget(c);
      return NetpbmHeader::kRead;
    }
    return (strict_ ? IsBlank(c) || c == '\n' : IsSpace(c)) ? NetpbmHeader::kRead
                                                            : NetpbmHeader::kBadNumber;
  }

  size_t length() const { return length_; }
  bool failed() const { return failed_; }

 private:
  static constexpr int kNone = -3;
  const std::function<int()>& next_;
  bool strict_;
  int pushed_ = kNone;
  size_t length_ = 0;
  bool failed_ = false;
};

}  // namespace

NetpbmHeader ReadNetpbmHeader(const std::function<int()>& next, NetpbmForm form) {
  NetpbmHeader header;
  Reader in(next, form);
  const char type = form == NetpbmForm::kPpm ? '6' : '4';
  const int p = in.Get();
  const int t = p == 'P' ? in.Get() : kEnd;
  if (p != 'P' || t != type || (form == NetpbmForm::kStrictPbm && in.Get() != '\n')) {
    header.status = in.failed() ? NetpbmHeader::kUnreadable : NetpbmHeader::kNotNetpbm;
    return header;
  }
  const bool strict = form == NetpbmForm::kStrictPbm;
  struct Field {
    const char* name;
    uint64_t* value;
    std::string* text;
  };
  Field fields[] = {{"width", &header.width, &header.widthText},
                    {"height", &header.height, &header.heightText},
                    {"maxval", &header.maxval, &header.maxvalText}};
  const int count = form == NetpbmForm::kPpm ? 3 : 2;
  int end = 0;
  for (int i = 0; i < count; ++i) {
    header.status = in.Number(fields[i].value, fields[i].text, &end, strict && i == 0);
    // Both numbers of a strict header stand on one line.
    if (header.status == NetpbmHeader::kRead && strict && i == 0 && end == '\n') {
      header.status = NetpbmHeader::kBadNumber;
    }
    if (header.status != NetpbmHeader::kRead) {
      header.field = fields[i].name;
      return header;
    }
  }
  if (strict) {
    // Blanks may follow the height on its line.
    while (IsBlank(end)) end = in.Get();
    if (end != '\n') {
      header.status = in.failed() ? NetpbmHeader::kUnreadable : NetpbmHeader::kBadNumber;
      header.field = "height";
      return header;
    }
  } else if (end == '#') {
    // A comment after the last number ends in the line feed that is the one
    // byte before the pixels.
    for (int c = in.Get(); c >= 0 && c != '\n' && c != '\r';) c = in.Get();
  }
  header.length = in.length();
  return header;
}

}  // namespace zova
