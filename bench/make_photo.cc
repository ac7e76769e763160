// zova_make_photo WIDTH HEIGHT OUT.ppm: writes the synthetic photo as a P6
// image, for trying zova_ID by hand and for the README's sample.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "testpage/synthetic_photo.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "ERROR: usage: zova_make_photo WIDTH HEIGHT OUT.ppm\n");
    return 2;
  }
  const int width = atoi(argv[1]);
  const int height = atoi(argv[2]);
  if (width < 1 || height < 1 || width > 100000 || height > 100000) {
    fprintf(stderr, "ERROR: zova_make_photo: size %sx%s is not from 1x1 to 100000x100000\n",
            argv[1], argv[2]);
    return 2;
  }
  FILE* out = fopen(argv[3], "wb");
  if (!out) {
    perror("ERROR: zova_make_photo");
    return 1;
  }
  fprintf(out, "P6\n%d %d\n255\n", width, height);
  std::vector<uint8_t> row(3 * static_cast<size_t>(width));
  for (int y = 0; y < height; ++y) {
    zova::SyntheticPhotoRow(width, height, y, row.data());
    fwrite(row.data(), 1, row.size(), out);
  }
  if (fclose(out) != 0) {
    perror("ERROR: zova_make_photo");
    return 1;
  }
  return 0;
}
