#include "job/page_spool.h"

#include <unistd.h>

#include <cstdio>
#include <new>

namespace zova {

PageSpool::~PageSpool() {
  if (removed_) return;
  unlink(paths_.ppm.c_str());
  unlink(paths_.pbm.c_str());
}

bool PageSpool::Begin(const PageRequest& request) {
  try {
    row_.assign(request.bytesPerLine, 0);
  } catch (const std::bad_alloc&) {
    fputs("ERROR: Unable to allocate memory\n", stderr);
    return false;
  }
  header_length_ = CreatePpmSpool(paths_.ppm, request.bytesPerLine / 3, request.height, &writer_);
  return header_length_ >= 0;
}

bool PageSpool::AppendRow() {
  CountDarkPixels(row_.data(), row_.size() / 3, count_);
  return writer_.Write(row_.data(), row_.size());
}

bool PageSpool::Finish() {
  row_ = {};
  return writer_.Close();
}

void PageSpool::Remove(bool picture) {
  RemoveSpoolFiles(paths_, picture);
  removed_ = true;
}

}  // namespace zova
