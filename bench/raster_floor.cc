// The floor a filter cannot beat: decode the raster with libcups, pass each
// row through a /tmp file, read it back and threshold it to 1 bit. Nothing
// else: no classification, no bands, no printer stream.
//
//   raster_floor RASTER
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kBlock = 512 * 1024;

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t w = write(fd, p, n);
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    fprintf(stderr, "Usage: %s RASTER\n", argv[0]);
    return 2;
  }
  const int in = open(argv[1], O_RDONLY);
  cups_raster_t* ras = cupsRasterOpen(in, CUPS_RASTER_READ);
  if (ras == nullptr) return 1;
  const std::string tmp = "/tmp/raster_floor_" + std::to_string(getpid());
  cups_page_header2_t h;
  std::vector<uint8_t> block(kBlock);
  unsigned long long dots = 0;
  while (cupsRasterReadHeader2(ras, &h)) {
    const size_t bpl = h.cupsBytesPerLine;
    std::vector<uint8_t> row(bpl);
    const int fd = open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    size_t used = 0;
    for (unsigned y = 0; y < h.cupsHeight; ++y) {
      if (cupsRasterReadPixels(ras, row.data(), static_cast<unsigned>(bpl)) == 0) break;
      if (used + bpl > block.size()) {
        WriteAll(fd, block.data(), used);
        used = 0;
      }
      memcpy(block.data() + used, row.data(), bpl);
      used += bpl;
    }
    WriteAll(fd, block.data(), used);
    lseek(fd, 0, SEEK_SET);
    // Read back in blocks, threshold each row into packed bits.
    std::vector<uint8_t> bits((h.cupsWidth + 7) / 8);
    size_t have = 0, pos = 0;
    for (unsigned y = 0; y < h.cupsHeight; ++y) {
      if (have - pos < bpl) {
        memmove(block.data(), block.data() + pos, have - pos);
        have -= pos;
        pos = 0;
        const ssize_t n = read(fd, block.data() + have, block.size() - have);
        if (n > 0) have += static_cast<size_t>(n);
        if (have < bpl) break;
      }
      const uint8_t* px = block.data() + pos;
      std::fill(bits.begin(), bits.end(), 0);
      for (unsigned x = 0; x < h.cupsWidth; ++x, px += 3) {
        if (px[0] + px[1] + px[2] < 700) bits[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
      dots += bits[0];
      pos += bpl;
    }
    close(fd);
    unlink(tmp.c_str());
  }
  cupsRasterClose(ras);
  close(in);
  return dots == ~0ull ? 1 : 0;  // keeps the work from being optimised away
}
