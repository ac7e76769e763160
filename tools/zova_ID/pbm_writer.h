// Writes the halftoned page as a P4 image under a temporary name beside its
// final path and renames it into place when complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zova {

class PbmWriter {
 public:
  // Creates a new temporary file next to `path` (mode 0600, never through a
  // symlink) and writes the header "P4\nW H\n". On failure prints an
  // "ERROR: " line and returns false.
  [[nodiscard]] bool Create(const std::string& path, int width, int height);
  // Appends one packed row of (width + 7) / 8 bytes.
  [[nodiscard]] bool WriteRow(const uint8_t* packed);
  // Writes out what is buffered, closes the file and renames it to `path`,
  // replacing whatever was there (a symlink is replaced, not followed).
  [[nodiscard]] bool Commit();

  PbmWriter() = default;
  PbmWriter(const PbmWriter&) = delete;
  PbmWriter& operator=(const PbmWriter&) = delete;
  // An uncommitted temporary file is removed.
  ~PbmWriter();

 private:
  bool Write(const void* data, size_t len);
  bool Flush();
  void Fail(const char* what);

  std::string path_;
  std::string temp_path_;
  int fd_ = -1;
  size_t row_bytes_ = 0;
  std::vector<uint8_t> buffer_;
};

}  // namespace zova
