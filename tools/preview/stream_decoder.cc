// The strict stream decoder: the job's layout, each dialect's commands, and
// the page model they drive.
#include "preview/stream_decoder.h"

#include <algorithm>
#include <cstdio>

#include "dotmatrix/commands.h"
#include "text/character_tables.h"
#include "text/text_commands.h"

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

// A character: ASCII's printable bytes, and the upper half but 0x80-0x9F,
// which print only after ESC 6.
bool IsCharacter(uint8_t byte, bool upper_codes) {
  return (byte >= 0x20 && byte < 0x7F) || byte >= 0xA0 || (byte >= 0x80 && upper_codes);
}

// The table ESC ( t names by d2 d3: an index in text::CharacterTables().
std::optional<uint8_t> TableNumbered(uint8_t d2, uint8_t d3) {
  const auto& tables = text::CharacterTables();
  for (size_t i = 0; i < tables.size(); ++i) {
    if (tables[i].d2 == d2 && tables[i].d3 == d3) return static_cast<uint8_t>(i);
  }
  return std::nullopt;
}

// A native text job prints on the panel's form: 66 lines of 1/6 inch.
constexpr long kPanelPageLength = 66 * kUnitsPerLine;

std::string Printf(const char* format, auto... args) {
  char text[256];
  snprintf(text, sizeof text, format, args...);
  return text;
}

class Decoder {
 public:
  Decoder(const StreamReader& read, const PageSink& sink, const JobStartSink& job_start,
          const DecodeOptions& options)
      : stream_(read),
        sink_(sink),
        job_start_(job_start),
        panel_table_(options.panel_table),
        bit_image_(options.bit_image),
        draw_characters_(options.draw_characters) {}
  void KeepDots(bool keep) { keep_dots_ = keep; }

  DecodeResult Run() {
    if (job_start_) job_start_(1, 0);
    if (ReadPreamble(0)) ReadPages();
    result_.read_failed = stream_.read_failed();
    // A stream that could not be read is not judged by where it stopped.
    if (result_.read_failed) result_.error.reset();
    return std::move(result_);
  }

 private:
  bool Fail(size_t offset, std::string message) {
    result_.error = StreamError{offset, std::move(message)};
    return false;
  }

  // The `length` bytes of the command `name` at `start` are all there.
  bool Need(size_t start, size_t length, const char* name) {
    if (stream_.Has(start, length)) return true;
    return Fail(start, Printf("the stream ends inside %s: %zu of its %zu bytes are there", name,
                              stream_.end() - start, length));
  }

  bool AtEnd(size_t offset) { return !stream_.Has(offset, 1); }

  bool At(size_t offset, uint8_t a, uint8_t b) {
    return stream_.Has(offset, 2) && stream_[offset] == a && stream_[offset + 1] == b;
  }

  bool ReadPreamble(size_t start) {
    size_t n = 0;
    while (n < static_cast<size_t>(kPreambleLength) && !AtEnd(start + n) &&
           stream_[start + n] == kNul) {
      ++n;
    }
    if (n == static_cast<size_t>(kPreambleLength)) {
      pos_ = start + n;
      return true;
    }
    if (AtEnd(start + n)) {
      return Fail(start + n, Printf("the stream ends inside the preamble: %zu of its %d NUL bytes",
                                    n, kPreambleLength));
    }
    return Fail(start + n, Printf("byte %02X after %zu NUL bytes: the preamble is %d NUL bytes",
                                  stream_[start + n], n, kPreambleLength));
  }

  // In a capture of several jobs, the next job's preamble where this job
  // has ended.
  bool NextJobStarts() { return job_start_ && !AtEnd(pos_) && stream_[pos_] == kNul; }

  bool StartNextJob() {
    job_start_(++jobs_, pos_);
    last_page_lq_ = true;
    text_session_ = false;
    return ReadPreamble(pos_);
  }

  // Between pages: a page start, the job end, or the end of a job whose last
  // page was native.
  void ReadPages() {
    for (;;) {
      const size_t start = pos_;
      stream_.Release(pos_);
      if (AtEnd(pos_)) {
        if (last_page_lq_) Fail(pos_, "the stream ends without the job end ESC @");
        return;
      }
      // The native command set has no job end: its page's FF ends the job.
      if (!last_page_lq_ && result_.pages > 0 && NextJobStarts()) {
        if (!StartNextJob()) return;
        continue;
      }
      // A text job's setup holds for all its pages: the next one goes on
      // without a reset.
      if (text_session_ && result_.pages > 0 && !At(pos_, kEsc, lq::kEnterLq) &&
          !At(pos_, kEsc, lq::kReset) && !At(pos_, kEsc, native::kEnterNative)) {
        if (!ReadPage(last_page_lq_ ? Dialect::kLq : Dialect::kNative, false)) return;
        continue;
      }
      bool okidata = false;
      if (At(pos_, kEsc, lq::kEnterLq)) {
        if (!Need(pos_, 3, "ESC { A")) return;
        if (stream_[pos_ + 2] != lq::kEnterLqArgument) {
          Fail(pos_, Printf("ESC { %02X: only ESC { A is known", stream_[pos_ + 2]));
          return;
        }
        okidata = true;
        pos_ += 3;
      }
      if (At(pos_, kEsc, lq::kReset)) {
        const size_t reset = pos_;
        pos_ += 2;
        if (AtEnd(pos_)) {
          if (okidata) {
            Fail(start, "ESC { A before the job end: ESC { A opens an LQ page");
          } else if (!last_page_lq_) {
            Fail(reset, "ESC @ after a native page: the native command set has no job end");
          }
          return;
        }
        if (!okidata && last_page_lq_ && NextJobStarts()) {
          if (!StartNextJob()) return;
          continue;
        }
        if (!At(pos_, kEsc, lq::kUpperCodes) && !At(pos_, kEsc, lq_text::kQuality)) {
          Fail(pos_, Printf("data after the job end (ESC @ at byte %zu): an LQ page goes on with "
                            "ESC 6, a text job with ESC x",
                            reset));
          return;
        }
        if (!ReadPage(Dialect::kLq, true)) return;
      } else if (okidata) {
        Fail(pos_, "ESC { A is not followed by ESC @");
        return;
      } else if (At(pos_, kEsc, native::kEnterNative)) {
        pos_ += 2;
        if (!ReadPage(Dialect::kNative, true)) return;
      } else {
        Fail(start,
             Printf("byte %02X between pages: a page starts with ESC @ or ESC N", stream_[start]));
        return;
      }
    }
  }

  // A page after ESC @ or ESC N (`reset`) starts from the printer's
  // defaults; a text job's next page from where the last one left off.
  bool ReadPage(Dialect dialect, bool reset) {
    if (reset) {
      state_ = ResetState(panel_table_);
      text_session_ = dialect == Dialect::kNative;  // until ESC % B says graphics
    }
    PageModel page(dialect, state_);
    page.KeepDots(keep_dots_);
    page.DrawCharacters(draw_characters_);
    if (!reset) page.MarkText();
    last_image_ = kNoImage;
    const size_t number = result_.pages + 1;
    for (;;) {
      stream_.Release(pos_);
      if (AtEnd(pos_)) {
        return Fail(pos_, Printf("the stream ends inside page %zu: no form feed%s", number,
                                 ShortImageHint(pos_).c_str()));
      }
      const uint8_t byte = stream_[pos_];
      bool ok;
      if (byte == kCarriageReturn) {
        page.CarriageReturn();
        ++pos_;
        ok = true;
      } else if (byte == lq_text::kLineFeed) {
        ok = Done(pos_, page.LineFeed(), 1);
      } else if (IsCharacter(byte, page.settings().upper_codes)) {
        ok = Done(pos_, page.PrintCharacter(byte), 1);
      } else if (byte >= 0x80 && byte < 0xA0) {
        return Fail(pos_, Printf("byte %02X: bytes 80-9F are control codes until ESC 6", byte));
      } else if (byte == kFormFeed) {
        ++pos_;
        last_page_lq_ = dialect == Dialect::kLq;
        ++result_.pages;
        if (dialect == Dialect::kNative && text_session_ && page.settings().page_length == 0) {
          (void)page.SetPageLength(kPanelPageLength);
        }
        if (text_session_) page.MarkText();
        state_ = page.settings();
        if (sink_(page.Finish())) return true;
        result_.stopped = true;
        return false;
      } else if (At(pos_, kEsc, lq::kReset)) {
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

  // `why` empty: the command of `length` bytes at `start` is done.
  bool Done(size_t start, const std::string& why, size_t length) {
    if (!why.empty()) return Fail(start, why);
    pos_ = start + length;
    return true;
  }

  bool LqCommand(PageModel& page) {
    const size_t start = pos_;
    const uint8_t byte = stream_[start];
    if (byte == lq_text::kCondensed || byte == lq_text::kCondensedOff) {
      page.state().condensed = byte == lq_text::kCondensed;
      pos_ += 1;
      return true;
    }
    if (byte == kFs) {
      if (!Need(start, 3, "FS x")) return false;
      if (stream_[start + 1] != lq::kDensity) return Unknown(start, 2);
      if (!IsSwitch(stream_[start + 2])) return BadOperand(start, "FS x", 2);
      pos_ += 3;
      return true;
    }
    if (byte != kEsc) return Unknown(start);
    if (!Need(start, 2, "an ESC command")) return false;
    switch (stream_[start + 1]) {
      case lq::kUpperCodes:
        page.state().upper_codes = true;
        pos_ += 2;
        return true;
      case lq::kSixthInchLines:
        page.state().spacing = kUnitsPerInch / 6;
        pos_ += 2;
        return true;
      case lq_text::kEighthInchLines:
        page.state().spacing = kUnitsPerInch / 8;
        pos_ += 2;
        return true;
      case lq_text::kPica:
      case lq_text::kElite:
      case lq_text::kFifteen:
        page.state().pitch = stream_[start + 1];
        pos_ += 2;
        return true;
      case lq_text::kCancelSkip:
        pos_ += 2;
        return true;
      case lq_text::kBold:
      case lq_text::kBoldOff:
        page.state().bold = stream_[start + 1] == lq_text::kBold;
        pos_ += 2;
        return true;
      case lq_text::kUnderline:
        if (!Need(start, 3, "ESC -")) return false;
        if (!IsSwitch(stream_[start + 2])) return BadOperand(start, "ESC -", 2);
        page.state().underline = stream_[start + 2] == 1 || stream_[start + 2] == '1';
        pos_ += 3;
        return true;
      case lq_text::kQuality:
        if (!Need(start, 3, "ESC x")) return false;
        if (!IsSwitch(stream_[start + 2])) return BadOperand(start, "ESC x", 2);
        page.state().draft = stream_[start + 2] == 0 || stream_[start + 2] == '0';
        text_session_ = true;
        page.MarkText();
        pos_ += 3;
        return true;
      case lq_text::kLeftMargin:
      case lq_text::kRightMargin:
        if (!Need(start, 3, stream_[start + 1] == lq_text::kLeftMargin ? "ESC l" : "ESC Q")) {
          return false;
        }
        return Done(start, Margin(page, stream_[start + 1], stream_[start + 2]), 3);
      case lq_text::kAbsoluteX: {
        if (!Need(start, 4, "ESC $")) return false;
        // In the ESC ( U unit; 1/60 inch until one is set.
        const long unit = page.settings().unit != 0 ? page.settings().unit : kUnitsPerInch / 60;
        const long n = stream_[start + 2] | (long{stream_[start + 3]} << 8);
        const std::string why = page.MoveHead(n * unit);
        moved_to_ = start + 4;
        return Done(start, why.empty() ? why : "ESC $ " + why, 4);
      }
      case lq_text::kTable: {
        if (!Need(start, 3, "ESC t")) return false;
        const uint8_t n = stream_[start + 2];
        if (!(n < 4 || (n >= '0' && n <= '3'))) return BadOperand(start, "ESC t", 2);
        page.state().slot = n & 3;
        pos_ += 3;
        return true;
      }
      case lq_text::kInternational:
        if (!Need(start, 3, "ESC R")) return false;
        if (stream_[start + 2] != lq_text::kUsa) {
          return Fail(start,
                      Printf("ESC R %02X: only the USA set (ESC R 0) is read", stream_[start + 2]));
        }
        pos_ += 3;
        return true;
      case lq::kUnidirectional:
        if (!Need(start, 3, "ESC U")) return false;
        if (!IsSwitch(stream_[start + 2])) return BadOperand(start, "ESC U", 2);
        page.state().unidirectional = stream_[start + 2] == 1 || stream_[start + 2] == '1';
        pos_ += 3;
        return true;
      case lq::kPageLength:
        if (!Need(start, 3, "ESC C")) return false;
        if (stream_[start + 2] == 0) return BadOperand(start, "ESC C", 2);
        if (!PageLength(page, start, "ESC C", stream_[start + 2] * kUnitsPerLine)) return false;
        pos_ += 3;
        return true;
      case lq::kSpacing180:
      case lq::kSpacing360: {
        // Line spacing, for the line feeds of text.
        const bool per180 = stream_[start + 1] == lq::kSpacing180;
        if (!Need(start, 3, per180 ? "ESC 3" : "ESC +")) return false;
        page.state().spacing = stream_[start + 2] * kUnitsPerInch / (per180 ? 180 : 360);
        pos_ += 3;
        return true;
      }
      case lq::kExtended:
        return LqExtended(page);
      case lq::kBitImage: {
        if (!Need(start, 5, "ESC * (bit image)")) return false;
        BandGeometry geometry;
        if (!LqModeGeometry(stream_[start + 2], &geometry)) {
          return Fail(start, Printf("ESC * with bit-image mode %02X, which the printer does not "
                                    "have",
                                    stream_[start + 2]));
        }
        const size_t columns = stream_[start + 3] | (size_t{stream_[start + 4]} << 8);
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
    const uint8_t which = stream_[start + 2];
    if (which == lq::kUnit) {
      if (!Need(start, 6, "ESC ( U")) return false;
      if (stream_[start + 3] != 1 || stream_[start + 4] != 0) return BadLength(start, "ESC ( U", 1);
      if (stream_[start + 5] == 0) return BadOperand(start, "ESC ( U", 5);
      page.state().unit = stream_[start + 5];
      pos_ += 6;
      return true;
    }
    if (which == lq_text::kTable) {
      if (!Need(start, 8, "ESC ( t")) return false;
      if (stream_[start + 3] != 3 || stream_[start + 4] != 0) return BadLength(start, "ESC ( t", 3);
      if (stream_[start + 5] > 3) return BadOperand(start, "ESC ( t", 5);
      const std::optional<uint8_t> table = TableNumbered(stream_[start + 6], stream_[start + 7]);
      if (!table) {
        return Fail(start, Printf("ESC ( t assigns table %u %u, which is not one of the printer's "
                                  "tables read here",
                                  stream_[start + 6], stream_[start + 7]));
      }
      page.state().slots[stream_[start + 5]] = *table;
      pos_ += 8;
      return true;
    }
    if (which == lq_text::kPageLength) {
      if (!Need(start, 7, "ESC ( C")) return false;
      if (stream_[start + 3] != 2 || stream_[start + 4] != 0) return BadLength(start, "ESC ( C", 2);
      if (page.settings().unit == 0) {
        return Fail(start, "ESC ( C before any ESC ( U: the page length has no unit");
      }
      const long length = stream_[start + 5] | (long{stream_[start + 6]} << 8);
      if (length == 0) return BadOperand(start, "ESC ( C", 5);
      if (!PageLength(page, start, "ESC ( C", length * page.settings().unit)) return false;
      pos_ += 7;
      return true;
    }
    if (which == lq_text::kAbsoluteY) {
      if (!Need(start, 7, "ESC ( V")) return false;
      if (stream_[start + 3] != 2 || stream_[start + 4] != 0) return BadLength(start, "ESC ( V", 2);
      const long unit = page.settings().unit;
      if (unit == 0) {
        return Fail(start, "ESC ( V before any ESC ( U on this page: the position has no unit");
      }
      const long v = stream_[start + 5] | (long{stream_[start + 6]} << 8);
      const std::string why = page.MoveTo(v * unit);
      return Done(start, why.empty() ? why : "ESC ( V " + why, 7);
    }
    if (which == lq::kFeed) {
      if (!Need(start, 7, "ESC ( v")) return false;
      if (stream_[start + 3] != 2 || stream_[start + 4] != 0) return BadLength(start, "ESC ( v", 2);
      const long unit = page.settings().unit;
      if (unit == 0) {
        return Fail(start, "ESC ( v before any ESC ( U on this page: the move has no unit");
      }
      const long v = stream_[start + 5] | (long{stream_[start + 6]} << 8);
      page.Feed(v * unit);
      pos_ += 7;
      return true;
    }
    return Unknown(start, 3);
  }

  bool NativeCommand(PageModel& page) {
    const size_t start = pos_;
    if (stream_[start] != kEsc) return Unknown(start);
    if (!Need(start, 2, "an ESC command")) return false;
    switch (stream_[start + 1]) {
      case native::kUpperCodes:
        page.state().upper_codes = true;
        pos_ += 2;
        return true;
      case native::kPageLength: {
        if (!Need(start, 4, "ESC F")) return false;
        if (stream_[start + 3] > 9) return BadOperand(start, "ESC F", 3);
        const long lines = stream_[start + 2] * 10L + stream_[start + 3];
        if (!PageLength(page, start, "ESC F", lines * kUnitsPerLine)) return false;
        pos_ += 4;
        return true;
      }
      case native::kPercent:
        break;
      default:
        return Unknown(start, 2);
    }
    if (!Need(start, 3, "ESC %")) return false;
    switch (stream_[start + 2]) {
      case native::kGraphics:
        text_session_ = false;
        pos_ += 3;
        return true;
      case native::kFeed:
        if (!Need(start, 4, "ESC % 5")) return false;
        page.Feed(stream_[start + 3] * kNativeFeedUnit);
        pos_ += 4;
        return true;
      case native::kBitImage: {
        if (!Need(start, 5, "ESC % 1 (bit image)")) return false;
        const size_t columns = (size_t{stream_[start + 3]} << 8) | stream_[start + 4];
        return BitImage(page, kNativeGeometry, columns, 5, "ESC % 1 (bit image)");
      }
      default:
        return Unknown(start, 3);
    }
  }

  // ESC l n and ESC Q n: n columns of the pitch in force from the carriage's
  // left end, the left margin left of the right one.
  std::string Margin(PageModel& page, uint8_t which, uint8_t n) {
    PrinterState& state = page.state();
    const long at = n * state.Width();
    const bool left = which == lq_text::kLeftMargin;
    if (left ? at >= state.right : at <= state.left || at > kMaxPageWidth) {
      return Printf("%s %u puts the %s margin %.2f inches across, %s", left ? "ESC l" : "ESC Q", n,
                    left ? "left" : "right", static_cast<double>(at) / kUnitsPerInch,
                    left ? "at or right of the right margin"
                         : "at or left of the left margin, or beyond the widest carriage");
    }
    (left ? state.left : state.right) = at;
    return {};
  }

  bool PageLength(PageModel& page, size_t start, const char* name, long units) {
    const std::string why = page.SetPageLength(units);
    return why.empty() || Fail(start, Printf("%s sets %s", name, why.c_str()));
  }

  bool BitImage(PageModel& page, BandGeometry geometry, size_t columns, size_t header,
                const char* name) {
    const size_t start = pos_;
    if (!page.AtLeftMargin() && start != moved_to_) {
      return Fail(start, Printf("%s starts %ld/3600 inch right of the left margin: the filter "
                                "sends CR, or ESC $ to where it starts, before every bit image%s",
                                name, page.head_x(), ShortImageHint(kNoImage).c_str()));
    }
    if (!Need(start, header + columns * kBytesPerColumn, name)) return false;
    const BitImageSeen seen{
        page.settings().left + page.head_x(), page.paper_y(), geometry,
        stream_.Data(start + header),         columns,        page.settings().unidirectional};
    const std::string why = page.PrintBand(geometry, seen.data, columns);
    if (!why.empty()) return Fail(start, why);
    if (bit_image_) bit_image_(seen);
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
    std::string text = known == 1 ? Printf("unexpected byte %02X", stream_[start])
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
                              stream_[start + operand]));
  }

  std::string HexBytes(size_t start, size_t count) const {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += Printf(" %02X", stream_[start + i]);
    return text;
  }

  bool BadLength(size_t start, const char* name, int expected) {
    return Fail(start, Printf("%s with parameter length %u, not %d", name,
                              stream_[start + 3] | (stream_[start + 4] << 8), expected));
  }

  static constexpr size_t kNoImage = static_cast<size_t>(-1);

  StreamWindow stream_;
  const PageSink& sink_;
  size_t pos_ = 0;
  bool last_page_lq_ = true;  // the job end follows the last page's dialect
  JobStartSink job_start_;
  size_t jobs_ = 1;
  uint8_t panel_table_;
  std::function<void(const BitImageSeen&)> bit_image_;
  bool draw_characters_;
  PrinterState state_;         // what the last page left, for a text job's next page
  bool text_session_ = false;  // since the last ESC @ or ESC N: a text job
  size_t last_image_ = kNoImage;
  size_t last_image_end_ = kNoImage;
  size_t moved_to_ = kNoImage;  // where the command after the last ESC $ starts
  size_t last_image_columns_ = 0;
  DecodeResult result_;
  bool keep_dots_ = true;
};

}  // namespace

DecodeResult DecodeIncrementally(const StreamReader& read, const PageSink& sink,
                                 const JobStartSink& job_start, const DecodeOptions& options) {
  return Decoder(read, sink, job_start, options).Run();
}

DecodeResult DecodeMotion(const StreamReader& read, const PageSink& sink) {
  Decoder decoder(read, sink, {}, {});
  decoder.KeepDots(false);
  return decoder.Run();
}

DecodedStream DecodeStream(const uint8_t* data, size_t size, const DecodeOptions& options) {
  size_t done = 0;
  const StreamReader read = [&](uint8_t* buffer, size_t wanted) {
    const size_t n = std::min(wanted, size - done);
    std::copy(data + done, data + done + n, buffer);
    done += n;
    return static_cast<ptrdiff_t>(n);
  };
  DecodedStream decoded;
  const PageSink keep = [&](DecodedPage page) {
    decoded.pages.push_back(std::move(page));
    return true;
  };
  decoded.error = DecodeIncrementally(read, keep, {}, options).error;
  return decoded;
}

}  // namespace zova::preview
