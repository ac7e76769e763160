// UTF-8 is decoded here, so that its invalid input has the outcome Unicode
// recommends (one U+FFFD for each maximal invalid subpart); every other
// charset goes through iconv to UTF-32LE.
#include "text/charset_decoder.h"

#include <strings.h>

#include <cerrno>

namespace zova::text {
namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

bool IsUtf8(const std::string& name) {
  return name.empty() || strcasecmp(name.c_str(), "UTF-8") == 0 ||
         strcasecmp(name.c_str(), "UTF8") == 0;
}

// No charset iconv knows has a character longer than this; a longer tail
// held back is garbage, not a character to wait for.
constexpr size_t kMaxPending = 16;

}  // namespace

std::unique_ptr<CharsetDecoder> CharsetDecoder::Create(std::string_view charset,
                                                       std::string* error) {
  std::string name(charset);
  if (IsUtf8(name)) return std::unique_ptr<CharsetDecoder>(new CharsetDecoder("UTF-8", kNoIconv));
  iconv_t cd = iconv_open("UTF-32LE", name.c_str());
  if (cd == kNoIconv) {
    if (error) *error = "Unknown charset \"" + name + "\"";
    return nullptr;
  }
  return std::unique_ptr<CharsetDecoder>(new CharsetDecoder(std::move(name), cd));
}

CharsetDecoder::~CharsetDecoder() {
  if (cd_ != kNoIconv) iconv_close(cd_);
}

void CharsetDecoder::Invalid(std::vector<char32_t>& out) {
  out.push_back(kReplacement);
  ++invalid_;
}

void CharsetDecoder::Feed(const uint8_t* data, size_t len, std::vector<char32_t>& out) {
  if (cd_ == kNoIconv) {
    FeedUtf8(data, len, out);
  } else {
    FeedIconv(data, len, out);
  }
}

void CharsetDecoder::FeedUtf8(const uint8_t* data, size_t len, std::vector<char32_t>& out) {
  for (size_t i = 0; i < len; ++i) {
    const uint8_t b = data[i];
    if (due_ > 0) {
      const uint8_t low = second_ ? secondLow_ : 0x80;
      const uint8_t high = second_ ? secondHigh_ : 0xBF;
      if (b >= low && b <= high) {
        partial_ = (partial_ << 6) | (b & 0x3F);
        second_ = false;
        if (--due_ == 0) out.push_back(partial_);
        continue;
      }
      // The sequence so far is one invalid subpart; b starts afresh.
      Invalid(out);
      due_ = 0;
    }
    second_ = true;
    secondLow_ = 0x80;
    secondHigh_ = 0xBF;
    if (b < 0x80) {
      out.push_back(b);
    } else if (b >= 0xC2 && b <= 0xDF) {
      partial_ = b & 0x1F;
      due_ = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      partial_ = b & 0x0F;
      due_ = 2;
      if (b == 0xE0) secondLow_ = 0xA0;   // overlong
      if (b == 0xED) secondHigh_ = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      partial_ = b & 0x07;
      due_ = 3;
      if (b == 0xF0) secondLow_ = 0x90;   // overlong
      if (b == 0xF4) secondHigh_ = 0x8F;  // beyond U+10FFFF
    } else {
      Invalid(out);
    }
  }
}

void CharsetDecoder::FeedIconv(const uint8_t* data, size_t len, std::vector<char32_t>& out) {
  std::vector<uint8_t> joined;
  if (!pending_.empty()) {
    joined = std::move(pending_);
    joined.insert(joined.end(), data, data + len);
    pending_.clear();
    data = joined.data();
    len = joined.size();
  }
  char* in = const_cast<char*>(reinterpret_cast<const char*>(data));
  size_t in_left = len;
  uint8_t buffer[1024];
  while (in_left > 0) {
    char* o = reinterpret_cast<char*>(buffer);
    size_t out_left = sizeof buffer;
    const size_t done = iconv(cd_, &in, &in_left, &o, &out_left);
    const int err = errno;
    for (const uint8_t* p = buffer; p + 4 <= reinterpret_cast<uint8_t*>(o); p += 4) {
      out.push_back(static_cast<char32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24));
    }
    if (done != static_cast<size_t>(-1) || err == E2BIG) continue;
    if (err == EINVAL && in_left < kMaxPending) {
      pending_.assign(in, in + in_left);
      return;
    }
    // EILSEQ (or garbage held too long): one byte becomes U+FFFD.
    Invalid(out);
    ++in;
    --in_left;
  }
}

void CharsetDecoder::Finish(std::vector<char32_t>& out) {
  if (cd_ == kNoIconv) {
    if (due_ > 0) Invalid(out);
    due_ = 0;
    return;
  }
  if (!pending_.empty()) Invalid(out);
  pending_.clear();
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace zova::text
