// Reads the filter's spooled page: a P6 image with maxval 255, row by row.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace zova {

// Largest image zova_ID takes. A row of kMaxWidth RGB pixels is 3 MiB; the
// filter reads "W H\n" of the result in at most 18 bytes, which these bounds
// keep to 17.
inline constexpr int kMaxWidth = 1 << 20;
inline constexpr int kMaxHeight = 1 << 24;

class PpmReader {
 public:
  // Opens the file and reads its header. On failure prints an "ERROR: " line
  // and returns nullptr.
  static std::unique_ptr<PpmReader> Open(const std::string& path);

  int width() const { return width_; }
  int height() const { return height_; }
  // Rows actually present so far; fewer than height() for a short file.
  int rows_read() const { return rows_read_; }

  enum class RowResult { kRow, kMissing, kError };
  // Reads the next row of 3 * width() bytes into rgb. Past the end of a short
  // file the row (or the part of it the file lacks) is white and kMissing is
  // returned. kError means the file could not be read; errno says why.
  RowResult ReadRow(uint8_t* rgb);

 private:
  struct Closer {
    void operator()(FILE* f) const { fclose(f); }
  };
  PpmReader(std::unique_ptr<FILE, Closer> file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}
  bool ReadHeader();

  std::unique_ptr<FILE, Closer> file_;
  std::string path_;
  int width_ = 0;
  int height_ = 0;
  int rows_read_ = 0;
  bool at_end_ = false;
};

}  // namespace zova
