#include "tests/integration/printer_stream.h"

#include <bit>
#include <cstdio>

namespace zova::test {
namespace {

constexpr uint8_t kNul = 0x00;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kFf = 0x0C;
constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kFs = 0x1C;

// Every image command carries 3 bytes (24 dots) per column. In the two-pass
// modes of 120 and 240 dpi each pass sends the full count, the other pass's
// bytes zeroed.
constexpr size_t kBytesPerColumn = 3;

class Parser {
 public:
  explicit Parser(const std::vector<uint8_t>& bytes) : b_(bytes) {}

  PrinterStream Run() {
    while (pos_ < b_.size() && b_[pos_] == kNul) ++pos_;
    out_.preamble = pos_;
    while (pos_ < b_.size() && out_.error.empty()) {
      if (!inPage_) {
        // A lone ESC @ at the very end is the LQ job end, not a new page.
        if (b_.size() - pos_ == 2 && b_[pos_] == kEsc && b_[pos_ + 1] == '@') {
          out_.jobEnd.assign(b_.begin() + pos_, b_.end());
          return out_;
        }
        page_ = StreamPage{};
        page_.dialect = At(1) == 'N' && At(0) == kEsc ? Dialect::kNative : Dialect::kLq;
        inPage_ = true;
        inSetup_ = true;
      }
      Command();
    }
    if (inPage_ && out_.error.empty()) out_.pages.push_back(page_);  // no form feed
    return out_;
  }

 private:
  uint8_t At(size_t i) const { return pos_ + i < b_.size() ? b_[pos_ + i] : 0; }
  bool Have(size_t n) const { return pos_ + n <= b_.size(); }

  void Fail(const char* what) {
    char text[96];
    snprintf(text, sizeof text, "%s at offset %zu (byte %02x)", what, pos_, At(0));
    out_.error = text;
  }

  // Takes an n-byte command; setup commands are kept for the page.
  void Take(size_t n, bool ends_setup = false) {
    if (!Have(n)) return Fail("truncated command");
    if (ends_setup) inSetup_ = false;
    if (inSetup_) page_.setup.insert(page_.setup.end(), b_.begin() + pos_, b_.begin() + pos_ + n);
    pos_ += n;
  }

  void Image(size_t header, size_t columns) {
    const size_t data = kBytesPerColumn * columns;
    if (!Have(header + data)) return Fail("truncated image data");
    for (size_t i = pos_ + header; i < pos_ + header + data; ++i)
      page_.dots += std::popcount(b_[i]);
    ++page_.imageCommands;
    Take(header + data, true);
  }

  void Command() {
    const bool lq = page_.dialect == Dialect::kLq;
    const uint8_t c = At(0);
    if (c == kFf) {
      page_.formFeed = true;
      out_.pages.push_back(page_);
      inPage_ = false;
      ++pos_;
      return;
    }
    if (c == kCr) return Take(1, true);
    if (c == kFs && At(1) == 'x' && lq) return Take(3);
    if (c != kEsc) return Fail("unknown byte");
    switch (At(1)) {
      case '@':
      case '6':
      case '2':
        return Take(2);
      case 'N':
        return lq ? Fail("native command in an LQ page") : Take(2);
      case '{':
        return lq && At(2) == 'A' ? Take(3) : Fail("unknown ESC {");
      case 'U':
      case 'C':
      case '3':
      case '+':
        return lq ? Take(3) : Fail("LQ command in a native page");
      case 'F':
        return lq ? Fail("native command in an LQ page") : Take(4);
      case '(':
        if (!lq) return Fail("LQ command in a native page");
        if (At(2) == 'U' && At(3) == 1 && At(4) == 0) return Take(6, true);
        if (At(2) == 'v' && At(3) == 2 && At(4) == 0) return Take(7, true);
        return Fail("unknown ESC ( command");
      case '*': {
        if (!lq) return Fail("LQ command in a native page");
        const uint8_t mode = At(2);
        page_.modes.insert(mode);
        return Image(5, At(3) | At(4) << 8);
      }
      case '%':
        if (lq) return Fail("native command in an LQ page");
        if (At(2) == 'B') return Take(3);
        if (At(2) == '5') return Take(4, true);
        if (At(2) == '1') return Image(5, At(3) << 8 | At(4));
        return Fail("unknown ESC % command");
      default:
        return Fail("unknown ESC command");
    }
  }

  const std::vector<uint8_t>& b_;
  size_t pos_ = 0;
  bool inPage_ = false;
  bool inSetup_ = false;
  StreamPage page_;
  PrinterStream out_;
};

}  // namespace

PrinterStream ParsePrinterStream(const std::vector<uint8_t>& bytes) { return Parser(bytes).Run(); }

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char item[4];
  for (uint8_t byte : bytes) {
    snprintf(item, sizeof item, "%s%02x", text.empty() ? "" : " ", byte);
    text += item;
  }
  return text;
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  unsigned value = 0;
  int consumed = 0;
  for (const char* p = hex.c_str(); sscanf(p, " %2x%n", &value, &consumed) == 1; p += consumed) {
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return bytes;
}

}  // namespace zova::test
