// The PBM header parser on any bytes: it reads the header or says why not.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "pipeline/spool_files.h"

namespace {

std::string ScratchFile() {
  std::string path = "/tmp/fuzz_pbm_header." + std::to_string(getpid());
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScratchFile();
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) abort();
  fwrite(data, 1, size, file);
  fclose(file);
  static zova::NoMessages messages;
  const zova::PbmHeader header = zova::getSize(path, messages);
  if (header.status == zova::PbmHeader::kRead &&
      (header.Width == 0 || header.Height == 0 || header.HeadLen < 7 || header.HeadLen > 21)) {
    abort();  // a header read must be one the reader can use
  }
  unlink(path.c_str());
  return 0;
}
