// A job's bytes in its declared charset to Unicode code points, a chunk at a
// time: memory stays bounded however long the job. Input that is not valid in
// the charset becomes U+FFFD (printed as '?') and is counted, never fatal.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zova::text {

inline constexpr char32_t kReplacement = 0xFFFD;

class CharsetDecoder {
 public:
  // nullptr and *error set when iconv knows no such charset. An empty name
  // means UTF-8, the default of a text/plain job.
  static std::unique_ptr<CharsetDecoder> Create(std::string_view charset, std::string* error);
  ~CharsetDecoder();
  CharsetDecoder(const CharsetDecoder&) = delete;
  CharsetDecoder& operator=(const CharsetDecoder&) = delete;

  // Appends the code points of `len` bytes to `out`. A character cut by the
  // chunk's end is kept back for the next call.
  void Feed(const uint8_t* data, size_t len, std::vector<char32_t>& out);
  // The end of the input: a character left incomplete becomes U+FFFD.
  void Finish(std::vector<char32_t>& out);

  // How many invalid sequences became U+FFFD.
  size_t invalid() const { return invalid_; }
  const std::string& charset() const { return name_; }

 private:
  CharsetDecoder(std::string name, iconv_t cd) : name_(std::move(name)), cd_(cd) {}
  void FeedUtf8(const uint8_t* data, size_t len, std::vector<char32_t>& out);
  void FeedIconv(const uint8_t* data, size_t len, std::vector<char32_t>& out);
  void Invalid(std::vector<char32_t>& out);

  std::string name_;
  iconv_t cd_;  // (iconv_t)-1 for UTF-8, which is decoded here
  // UTF-8: the code point so far, the continuation bytes still due, and the
  // range the second byte must fall in (no overlongs, surrogates or > U+10FFFF).
  char32_t partial_ = 0;
  int due_ = 0;
  uint8_t secondLow_ = 0x80, secondHigh_ = 0xBF;
  bool second_ = false;
  // iconv: bytes of a character cut by a chunk's end.
  std::vector<uint8_t> pending_;
  size_t invalid_ = 0;
};

}  // namespace zova::text
