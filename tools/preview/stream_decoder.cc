// The strict stream decoder: the job's layout, each dialect's commands, and
// the page model they drive.
#include "preview/stream_decoder.h"

#include <cstdio>

#include "dotmatrix/commands.h"

namespace zova::preview {
namespace {

// Native ESC % 5 moves in 1/120 inch.
constexpr long kNativeFeedUnit = kUnitsPerInch / 120;
// Native bit images carry no density; they are drawn at the head's pitch.
constexpr BandGeometry kNativeGeometry{180, 180};

bool LqModeGeometry(uint8_t byte, BandGeometry* geometry) {
  const LqBitImageMode* mode = FindLqBitImageMode(byte);
  if (mode == nullptr) return false;
  *geometry = {mode->dpi, mode->rowDpi};
  return true;
}

// FS x and ESC U take 0/1 or the ASCII digits.
bool IsSwitch(uint8_t n) { return n == 0 || n == 1 || n == '0' || n == '1'; }

std::string Printf(const char* format, auto... args) {
  char text[256];
  snprintf(text, sizeof text, format, args...);
  return text;
}

class Decoder {
 public:
  Decoder(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  DecodedStream Run() {
    if (ReadPreamble()) ReadPages();
    return std::move(result_);
  }

 private:
  bool Fail(size_t offset, std::string message) {
    result_.error = StreamError{offset, std::move(message)};
    return false;
  }

  // The `length` bytes of the command `name` at `start` are all there.
  bool Need(size_t start, size_t length, const char* name) {
    if (size_ - start >= length) return true;
    return Fail(start, Printf("the stream ends inside %s: %zu of its %zu bytes are there", name,
                              size_ - start, length));
  }

  bool At(size_t offset, uint8_t a, uint8_t b) const {
    return size_ - offset >= 2 && data_[offset] == a && data_[offset + 1] == b;
  }

  bool ReadPreamble() {
    size_t n = 0;
    while (n < size_ && n < static_cast<size_t>(kPreambleLength) && data_[n] == kNul) ++n;
    if (n == static_cast<size_t>(kPreambleLength)) {
      pos_ = n;
      return true;
    }
    if (n == size_) {
      return Fail(n, Printf("the stream ends inside the preamble: %zu of its %d NUL bytes", n,
                            kPreambleLength));
    }
    return Fail(n, Printf("byte %02X after %zu NUL bytes: the preamble is %d NUL bytes", data_[n],
                          n, kPreambleLength));
  }

  // Between pages: a page start, the job end, or the end of a job whose last
  // page was native.
  void ReadPages() {
    for (;;) {
      const size_t start = pos_;
      if (pos_ == size_) {
        if (last_page_lq_) Fail(pos_, "the stream ends without the job end ESC @");
        return;
      }
      bool okidata = false;
      if (At(pos_, kEsc, '{')) {
        if (!Need(pos_, 3, "ESC { A")) return;
        if (data_[pos_ + 2] != 'A') {
          Fail(pos_, Printf("ESC { %02X: only ESC { A is known", data_[pos_ + 2]));
          return;
        }
        okidata = true;
        pos_ += 3;
      }
      if (At(pos_, kEsc, '@')) {
        const size_t reset = pos_;
        pos_ += 2;
        if (pos_ == size_) {
          if (okidata) {
            Fail(start, "ESC { A before the job end: ESC { A opens an LQ page");
          } else if (!last_page_lq_) {
            Fail(reset, "ESC @ after a native page: the native command set has no job end");
          }
          return;
        }
        if (!At(pos_, kEsc, '6')) {
          Fail(pos_, Printf("data after the job end (ESC @ at byte %zu): an LQ page goes on with "
                            "ESC 6",
                            reset));
          return;
        }
        if (!ReadPage(Dialect::kLq)) return;
      } else if (okidata) {
        Fail(pos_, "ESC { A is not followed by ESC @");
        return;
      } else if (At(pos_, kEsc, 'N')) {
        pos_ += 2;
        if (!ReadPage(Dialect::kNative)) return;
      } else {
        Fail(start,
             Printf("byte %02X between pages: a page starts with ESC @ or ESC N", data_[start]));
        return;
      }
    }
  }

  bool ReadPage(Dialect dialect) {
    PageModel page(dialect);
    unit_ = 0;
    last_image_ = kNoImage;
    const size_t number = result_.pages.size() + 1;
    for (;;) {
      if (pos_ == size_) {
        return Fail(pos_, Printf("the stream ends inside page %zu: no form feed%s", number,
                                 ShortImageHint(pos_).c_str()));
      }
      const uint8_t byte = data_[pos_];
      bool ok;
      if (byte == kCarriageReturn) {
        page.CarriageReturn();
        ++pos_;
        ok = true;
      } else if (byte == kFormFeed) {
        ++pos_;
        result_.pages.push_back(page.Finish());
        last_page_lq_ = dialect == Dialect::kLq;
        return true;
      } else if (byte == kEsc && size_ - pos_ >= 2 && data_[pos_ + 1] == '@') {
        return Fail(pos_, Printf("ESC @ inside page %zu: the page has no form feed%s", number,
                                 ShortImageHint(pos_).c_str()));
      } else if (dialect == Dialect::kLq) {
        ok = LqCommand(page);
      } else {
        ok = NativeCommand(page);
      }
      if (!ok) return false;
    }
  }

  bool LqCommand(PageModel& page) {
    const size_t start = pos_;
    const uint8_t byte = data_[start];
    if (byte == kFs) {
      if (!Need(start, 3, "FS x")) return false;
      if (data_[start + 1] != 'x') return Unknown(start, 2);
      if (!IsSwitch(data_[start + 2])) return BadOperand(start, "FS x", 2);
      pos_ += 3;
      return true;
    }
    if (byte != kEsc) return Unknown(start);
    if (!Need(start, 2, "an ESC command")) return false;
    switch (data_[start + 1]) {
      case '6':
      case '2':
        pos_ += 2;
        return true;
      case 'U':
        if (!Need(start, 3, "ESC U")) return false;
        if (!IsSwitch(data_[start + 2])) return BadOperand(start, "ESC U", 2);
        pos_ += 3;
        return true;
      case 'C':
        if (!Need(start, 3, "ESC C")) return false;
        if (data_[start + 2] == 0) return BadOperand(start, "ESC C", 2);
        page.SetPageLength(data_[start + 2] * kUnitsPerLine);
        pos_ += 3;
        return true;
      case '3':
      case '+':
        // Line spacing; the filter never sends a line feed, so it moves nothing.
        if (!Need(start, 3, data_[start + 1] == '3' ? "ESC 3" : "ESC +")) return false;
        pos_ += 3;
        return true;
      case '(':
        return LqExtended(page);
      case '*': {
        if (!Need(start, 5, "ESC * (bit image)")) return false;
        BandGeometry geometry;
        if (!LqModeGeometry(data_[start + 2], &geometry)) {
          return Fail(start, Printf("ESC * with bit-image mode %02X, which the printer does not "
                                    "have",
                                    data_[start + 2]));
        }
        const size_t columns = data_[start + 3] | (size_t{data_[start + 4]} << 8);
        return BitImage(page, geometry, columns, 5, "ESC * (bit image)");
      }
      default:
        return Unknown(start, 2);
    }
  }

  // ESC ( U and ESC ( v, each with its two-byte parameter length.
  bool LqExtended(PageModel& page) {
    const size_t start = pos_;
    if (!Need(start, 3, "ESC (")) return false;
    const uint8_t which = data_[start + 2];
    if (which == 'U') {
      if (!Need(start, 6, "ESC ( U")) return false;
      if (data_[start + 3] != 1 || data_[start + 4] != 0) return BadLength(start, "ESC ( U", 1);
      if (data_[start + 5] == 0) return BadOperand(start, "ESC ( U", 5);
      unit_ = data_[start + 5];
      pos_ += 6;
      return true;
    }
    if (which == 'v') {
      if (!Need(start, 7, "ESC ( v")) return false;
      if (data_[start + 3] != 2 || data_[start + 4] != 0) return BadLength(start, "ESC ( v", 2);
      if (unit_ == 0) {
        return Fail(start, "ESC ( v before any ESC ( U on this page: the move has no unit");
      }
      const long v = data_[start + 5] | (long{data_[start + 6]} << 8);
      page.Feed(v * unit_);
      pos_ += 7;
      return true;
    }
    return Unknown(start, 3);
  }

  bool NativeCommand(PageModel& page) {
    const size_t start = pos_;
    if (data_[start] != kEsc) return Unknown(start);
    if (!Need(start, 2, "an ESC command")) return false;
    switch (data_[start + 1]) {
      case '6':
        pos_ += 2;
        return true;
      case 'F': {
        if (!Need(start, 4, "ESC F")) return false;
        if (data_[start + 3] > 9) return BadOperand(start, "ESC F", 3);
        page.SetPageLength((data_[start + 2] * 10L + data_[start + 3]) * kUnitsPerLine);
        pos_ += 4;
        return true;
      }
      case '%':
        break;
      default:
        return Unknown(start, 2);
    }
    if (!Need(start, 3, "ESC %")) return false;
    switch (data_[start + 2]) {
      case 'B':
        pos_ += 3;
        return true;
      case '5':
        if (!Need(start, 4, "ESC % 5")) return false;
        page.Feed(data_[start + 3] * kNativeFeedUnit);
        pos_ += 4;
        return true;
      case '1': {
        if (!Need(start, 5, "ESC % 1 (bit image)")) return false;
        const size_t columns = (size_t{data_[start + 3]} << 8) | data_[start + 4];
        return BitImage(page, kNativeGeometry, columns, 5, "ESC % 1 (bit image)");
      }
      default:
        return Unknown(start, 3);
    }
  }

  bool BitImage(PageModel& page, BandGeometry geometry, size_t columns, size_t header,
                const char* name) {
    const size_t start = pos_;
    if (!page.AtLeftMargin()) {
      return Fail(start, Printf("%s starts %ld/3600 inch right of the left margin: the filter "
                                "sends CR before every bit image%s",
                                name, page.head_x(), ShortImageHint(kNoImage).c_str()));
    }
    if (!Need(start, header + columns * kBytesPerColumn, name)) return false;
    const std::string why = page.PrintBand(geometry, data_ + start + header, columns);
    if (!why.empty()) return Fail(start, why);
    pos_ = start + header + columns * kBytesPerColumn;
    last_image_ = start;
    last_image_end_ = pos_;
    last_image_columns_ = columns;
    return true;
  }

  // A bit image short of data swallows the bytes after it, and decoding breaks
  // down further on: name the image when the break is at its end (`at`), or
  // anywhere (`at` = kNoImage).
  std::string ShortImageHint(size_t at) const {
    if (last_image_ == kNoImage || (at != kNoImage && at != last_image_end_)) return "";
    return Printf("; is the %zu-column bit image at byte %zu short of data?", last_image_columns_,
                  last_image_);
  }

  // `known` bytes at `start` name the command that the printer does not have.
  bool Unknown(size_t start, size_t known = 1) {
    std::string text = known == 1 ? Printf("unexpected byte %02X", data_[start])
                                  : "unknown command" + HexBytes(start, known);
    if (start == last_image_end_ && last_image_ != kNoImage) {
      text += Printf(
          " right after the %zu-column bit image at byte %zu: more data than its "
          "column count?",
          last_image_columns_, last_image_);
    }
    return Fail(start, text);
  }

  bool BadOperand(size_t start, const char* name, size_t operand) {
    return Fail(start, Printf("%s with operand %02X, which the printer does not take", name,
                              data_[start + operand]));
  }

  std::string HexBytes(size_t start, size_t count) const {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += Printf(" %02X", data_[start + i]);
    return text;
  }

  bool BadLength(size_t start, const char* name, int expected) {
    return Fail(start, Printf("%s with parameter length %u, not %d", name,
                              data_[start + 3] | (data_[start + 4] << 8), expected));
  }

  static constexpr size_t kNoImage = static_cast<size_t>(-1);

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool last_page_lq_ = true;  // the job end follows the last page's dialect
  long unit_ = 0;             // ESC ( U unit of this page, 1/3600 inch; 0 until set
  size_t last_image_ = kNoImage;
  size_t last_image_end_ = kNoImage;
  size_t last_image_columns_ = 0;
  DecodedStream result_;
};

}  // namespace

DecodedStream DecodeStream(const uint8_t* data, size_t size) { return Decoder(data, size).Run(); }

}  // namespace zova::preview
