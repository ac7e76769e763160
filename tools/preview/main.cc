// zova-preview: draws what a ZOVA-QRT printer would print from a stream the
// filter wrote, one PNG per page.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "preview/png_writer.h"
#include "preview/stream_decoder.h"

namespace {

constexpr char kUsage[] = "ERROR: Usage: zova-preview STREAM [-o DIR]  (STREAM - reads stdin)\n";

bool ReadAll(const char* name, std::vector<uint8_t>* bytes) {
  const bool from_stdin = strcmp(name, "-") == 0;
  FILE* file = from_stdin ? stdin : fopen(name, "rb");
  if (file == nullptr) return false;
  uint8_t block[65536];
  size_t n;
  while ((n = fread(block, 1, sizeof block, file)) > 0)
    bytes->insert(bytes->end(), block, block + n);
  const bool ok = !ferror(file);
  if (!from_stdin) fclose(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const char* stream = nullptr;
  std::string dir = ".";
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else if (stream == nullptr && (argv[i][0] != '-' || strcmp(argv[i], "-") == 0)) {
      stream = argv[i];
    } else {
      fputs(kUsage, stderr);
      return 1;
    }
  }
  if (stream == nullptr) {
    fputs(kUsage, stderr);
    return 1;
  }

  std::vector<uint8_t> bytes;
  if (!ReadAll(stream, &bytes)) {
    fprintf(stderr, "ERROR: cannot read %s: %s\n", stream, strerror(errno));
    return 1;
  }
  const zova::preview::DecodedStream decoded = zova::preview::DecodeStream(bytes);
  if (decoded.error) {
    fprintf(stderr, "ERROR: %s: byte %zu: %s\n", stream, decoded.error->offset,
            decoded.error->message.c_str());
    return 1;
  }

  // Every page is written before any summary is printed; if one cannot be
  // written, the ones before it are removed again.
  std::vector<std::string> written;
  for (size_t i = 0; i < decoded.pages.size(); ++i) {
    const std::string path = dir + "/page-" + std::to_string(i + 1) + ".png";
    std::string error;
    if (!zova::preview::WritePagePng(path, decoded.pages[i], &error)) {
      fprintf(stderr, "ERROR: cannot write %s: %s\n", path.c_str(), error.c_str());
      for (const std::string& done : written) remove(done.c_str());
      return 1;
    }
    written.push_back(path);
  }
  for (size_t i = 0; i < decoded.pages.size(); ++i) {
    printf("page-%zu.png: %s\n", i + 1, zova::preview::DescribePage(decoded.pages[i]).c_str());
  }
  return 0;
}
