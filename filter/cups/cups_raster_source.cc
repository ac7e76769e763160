#include "cups/cups_raster_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zova {

CupsRasterSource::CupsRasterSource(int fd, Messages& messages)
    : fd_(fd), messages_(messages), ras_(cupsRasterOpenIO(Read, this, CUPS_RASTER_READ)) {}

CupsRasterSource::~CupsRasterSource() {
  if (ras_ != nullptr) cupsRasterClose(ras_);
}

ssize_t CupsRasterSource::Read(void* ctx, unsigned char* buffer, size_t length) {
  auto* source = static_cast<CupsRasterSource*>(ctx);
  // A cancel interrupts the read; the page loop notices it once data comes.
  ssize_t got;
  while ((got = read(source->fd_, buffer, length)) < 0 && (errno == EINTR || errno == EAGAIN)) {
  }
  if (got == 0) source->ended_ = true;
  if (got < 0 && !source->failed_) {
    source->failed_ = true;
    source->messages_.Error("Unable to read the raster: %s", strerror(errno));
  }
  return got;
}

bool CupsRasterSource::NextPage(cups_page_header2_t& header) {
  if (ras_ == nullptr) return false;
  if (cupsRasterReadHeader2(ras_, &header) != 0) return true;
  if (!ended_ && !failed_) {
    messages_.Error(
        "The raster holds a page header that cannot be read (malformed, or too large for "
        "memory); the rest of the job is not printed");
  }
  return false;
}

bool CupsRasterSource::ReadRow(std::span<uint8_t> row) {
  return cupsRasterReadPixels(ras_, row.data(), static_cast<unsigned>(row.size())) != 0;
}

void CupsRasterSource::SkipPage(const cups_page_header2_t& header, const CancelToken& cancel) {
  uint8_t chunk[64 * 1024];
  unsigned long long left =
      static_cast<unsigned long long>(header.cupsBytesPerLine) * header.cupsHeight;
  while (left > 0 && !cancel.canceled()) {
    const unsigned take = static_cast<unsigned>(std::min<unsigned long long>(left, sizeof chunk));
    if (cupsRasterReadPixels(ras_, chunk, take) == 0) break;
    left -= take;
  }
}

}  // namespace zova
