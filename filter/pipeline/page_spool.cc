#include "pipeline/page_spool.h"

#include <unistd.h>

#include <algorithm>
#include <new>

namespace zova {

PageSpool::~PageSpool() {
  if (halved_) {
    unlink(halved_paths_.ppm.c_str());
    unlink(halved_paths_.pbm.c_str());
  }
  if (removed_) return;
  unlink(paths_.ppm.c_str());
  unlink(paths_.pbm.c_str());
}

bool PageSpool::Begin(const PageRequest& request, const SpoolNeeds& needs) {
  const unsigned width = request.bytesPerLine / 3;
  try {
    row_.assign(request.bytesPerLine, 0);
    if (needs.regions) regions_.emplace(request.width, request.height, needs.regionScale);
    if (needs.averaged) {
      pending_.assign(request.bytesPerLine, 0);
      averaged_.assign(3 * size_t{(width + 1) / 2}, 0);
    }
  } catch (const std::bad_alloc&) {
    messages_.Error("Unable to allocate memory");
    return false;
  }
  header_length_ = CreatePpmSpool(paths_.ppm, width, request.height, &writer_);
  if (header_length_ < 0) return false;
  if (!needs.averaged) return true;
  halved_.emplace(messages_);
  return CreatePpmSpool(halved_paths_.ppm, (width + 1) / 2, (request.height + 1) / 2, &*halved_) >=
         0;
}

bool PageSpool::AppendRow(std::span<const uint8_t> classified) {
  const uint8_t* counted = classified.size() == row_.size() ? classified.data() : row_.data();
  if (regions_) {
    regions_->AddRow(counted);
  } else {
    CountDarkPixels(counted, row_.size() / 3, count_);
  }
  if (halved_) {
    if (has_pending_) {
      if (!AppendHalvedRow(row_.data())) return false;
    } else {
      std::copy(row_.begin(), row_.end(), pending_.begin());
      has_pending_ = true;
    }
  }
  return writer_.Write(row_.data(), row_.size());
}

// Averages the pending row with `second` (the same row for an odd last one)
// over pairs of pixels; an odd last pixel is averaged down only.
bool PageSpool::AppendHalvedRow(const uint8_t* second) {
  const size_t pixels = pending_.size() / 3;
  for (size_t x = 0, out = 0; x < pixels; x += 2, out += 3) {
    const size_t right = x + 1 < pixels ? x + 1 : x;
    for (size_t c = 0; c < 3; ++c) {
      const unsigned sum =
          pending_[3 * x + c] + pending_[3 * right + c] + second[3 * x + c] + second[3 * right + c];
      averaged_[out + c] = static_cast<uint8_t>((sum + 2) / 4);
    }
  }
  has_pending_ = false;
  return halved_->Write(averaged_.data(), averaged_.size());
}

bool PageSpool::Finish() {
  bool ok = true;
  if (halved_) {
    if (has_pending_) ok = AppendHalvedRow(pending_.data());
    ok = halved_->Close() && ok;
  }
  row_ = {};
  pending_ = {};
  averaged_ = {};
  return writer_.Close() && ok;
}

void PageSpool::Remove(bool picture) {
  RemoveSpoolFiles(paths_, picture, messages_);
  removed_ = true;
}

}  // namespace zova
