// Writes the hostile raster jobs that bench/hostile_filter.sh feeds to the
// filter: page headers that claim more than any printer holds.
//
//   zova_hostile_jobs DIR
//
// wide.ras    1,800 bytes: a header 178956970 pixels wide, no rows
// thin.ras    a header 1 pixel wide with 2147483646 bytes per line
// bytes.ras   a header with 300000000 bytes per line
// tall.ras    one grey row of a picture page 2000 x 16777216 at 180 dpi
// white.ras   16.8 MB: a white page 8192 x 16777216, CUPS-compressed
#include <cstdio>
#include <string>
#include <vector>

#include "testpage/testpage.h"

namespace {

using zova::testpage::PageDescription;

PageDescription Claiming(unsigned width, unsigned height, unsigned bytes_per_line, unsigned rows) {
  PageDescription page;
  page.outputType = "LQ";
  page.width = width;
  page.height = height;
  page.bytesPerLine = bytes_per_line;
  page.rowsWritten = rows;
  page.fill = zova::testpage::Solid(160, 160, 160);
  return page;
}

// The rows of a white page in CUPS's compressed encoding: each group of
// lines is a repeat count (255: 256 lines) and the line as runs of 128
// white pixels.
bool AppendWhiteRows(const std::string& path, unsigned width, unsigned height) {
  FILE* file = fopen(path.c_str(), "ab");
  if (file == nullptr) return false;
  std::vector<unsigned char> group = {255};
  for (unsigned x = 0; x < width; x += 128) group.insert(group.end(), {127, 255, 255, 255});
  bool ok = true;
  for (unsigned y = 0; y < height && ok; y += 256) {
    ok = fwrite(group.data(), 1, group.size(), file) == group.size();
  }
  return fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "Usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  using zova::testpage::WriteRasterFile;
  const bool ok = WriteRasterFile(dir + "/wide.ras", {Claiming(178956970, 10, 536870910, 0)}) &&
                  WriteRasterFile(dir + "/thin.ras", {Claiming(1, 10, 2147483646, 0)}) &&
                  WriteRasterFile(dir + "/bytes.ras", {Claiming(100000000, 10, 300000000, 0)}) &&
                  WriteRasterFile(dir + "/tall.ras", {Claiming(2000, 16777216, 6000, 1)}, false) &&
                  WriteRasterFile(dir + "/white.ras", {Claiming(8192, 16777216, 3 * 8192, 0)}) &&
                  AppendWhiteRows(dir + "/white.ras", 8192, 16777216);
  if (!ok) fprintf(stderr, "ERROR: Unable to write the jobs in %s\n", dir.c_str());
  return ok ? 0 : 1;
}
