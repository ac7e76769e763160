// The pages of a CUPS raster stream, read through libcups from a
// descriptor: the filter's input, and PWG and Apple raster documents.
// libcups answers "no more pages" both at the end of the stream and for a
// page header it cannot take (one too large for memory, or malformed);
// reading the bytes ourselves tells the two apart.
#pragma once

#include <cups/raster.h>
#include <sys/types.h>

#include "messages/messages.h"
#include "pipeline/page_driver.h"

namespace zova {

class CupsRasterSource final : public PageSource {
 public:
  CupsRasterSource(int fd, Messages& messages);
  ~CupsRasterSource() override;
  CupsRasterSource(const CupsRasterSource&) = delete;
  CupsRasterSource& operator=(const CupsRasterSource&) = delete;

  // False when the input does not start as a CUPS raster stream.
  bool ok() const { return ras_ != nullptr; }

  // False at the end of the stream, and after an error when the stream goes
  // on but libcups refused the header or the input could not be read.
  bool NextPage(cups_page_header2_t& header) override;
  bool ReadRow(std::span<uint8_t> row) override;
  void SkipPage(const cups_page_header2_t& header, const CancelToken& cancel) override;

 private:
  static ssize_t Read(void* ctx, unsigned char* buffer, size_t length);

  int fd_;
  Messages& messages_;
  bool ended_ = false;   // the input has reached its end
  bool failed_ = false;  // a read failed, and said why
  cups_raster_t* ras_ = nullptr;
};

}  // namespace zova
