// A FILE* backed by memory, for reading back what the output routines wrote.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zova::testing {

class MemorySink {
 public:
  MemorySink() : file_(open_memstream(&data_, &size_)) {}
  ~MemorySink() {
    fclose(file_);
    free(data_);
  }
  MemorySink(const MemorySink&) = delete;
  MemorySink& operator=(const MemorySink&) = delete;

  FILE* file() { return file_; }

  std::vector<uint8_t> Bytes() {
    fflush(file_);
    return std::vector<uint8_t>(data_, data_ + size_);
  }

  // Everything written since the last Take.
  std::vector<uint8_t> Take() {
    std::vector<uint8_t> all = Bytes();
    std::vector<uint8_t> fresh(all.begin() + static_cast<long>(taken_), all.end());
    taken_ = all.size();
    return fresh;
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  size_t taken_ = 0;
  FILE* file_;
};

// "1B 40 0D": readable in a failing expectation, and a diff shows the first
// differing byte.
inline std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) s += ' ';
    s += kDigits[bytes[i] >> 4];
    s += kDigits[bytes[i] & 15];
  }
  return s;
}

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

}  // namespace zova::testing
