// The job's raster, read through libcups from a descriptor. libcups answers
// "no more pages" both at the end of the stream and for a page header it
// cannot take (one too large for memory, or malformed); reading the bytes
// ourselves tells the two apart.
#pragma once

#include <cups/raster.h>
#include <sys/types.h>

namespace zova {

class RasterInput {
 public:
  explicit RasterInput(int fd);
  ~RasterInput();
  RasterInput(const RasterInput&) = delete;
  RasterInput& operator=(const RasterInput&) = delete;

  // Null when the input does not start as a CUPS raster stream.
  cups_raster_t* get() const { return ras_; }

  // Reads the next page header. False at the end of the stream, and after
  // an "ERROR: " line when the stream goes on but libcups refused the header
  // or the input could not be read.
  bool ReadHeader(cups_page_header2_t* header);

 private:
  static ssize_t Read(void* ctx, unsigned char* buffer, size_t length);

  int fd_;
  bool ended_ = false;   // the input has reached its end
  bool failed_ = false;  // a read failed, and said why
  cups_raster_t* ras_ = nullptr;
};

}  // namespace zova
