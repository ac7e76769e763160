#include "job/raster_input.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zova {

RasterInput::RasterInput(int fd) : fd_(fd), ras_(cupsRasterOpenIO(Read, this, CUPS_RASTER_READ)) {}

RasterInput::~RasterInput() {
  if (ras_ != nullptr) cupsRasterClose(ras_);
}

ssize_t RasterInput::Read(void* ctx, unsigned char* buffer, size_t length) {
  auto* input = static_cast<RasterInput*>(ctx);
  // A cancel interrupts the read; the page loop notices it once data comes.
  ssize_t got;
  while ((got = read(input->fd_, buffer, length)) < 0 && (errno == EINTR || errno == EAGAIN)) {
  }
  if (got == 0) input->ended_ = true;
  if (got < 0 && !input->failed_) {
    input->failed_ = true;
    fprintf(stderr, "ERROR: Unable to read the raster: %s\n", strerror(errno));
  }
  return got;
}

bool RasterInput::ReadHeader(cups_page_header2_t* header) {
  if (ras_ == nullptr) return false;
  if (cupsRasterReadHeader2(ras_, header) != 0) return true;
  if (!ended_ && !failed_) {
    fputs(
        "ERROR: The raster holds a page header that cannot be read (malformed, or too large for "
        "memory); the rest of the job is not printed\n",
        stderr);
  }
  return false;
}

}  // namespace zova
