#include "pipeline/read_back.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "binarize/binarize.h"
#include "pipeline/row_placer.h"

namespace zova {

bool RowReader::Open(const ReadBack& rb) {
  rb_ = rb;
  errno = 0;
  if (!reader_.Open(rb.path)) {
    messages_->Error("open %s error:%d", rb.path.c_str(), errno);
    return false;
  }
  messages_->Progress(" open %s ok %d", rb.path.c_str(), errno);
  // The header was checked when written or parsed: skip it.
  std::string head(static_cast<size_t>(rb.iPbmHeadLen), '\0');
  reader_.Read(reinterpret_cast<uint8_t*>(head.data()), head.size());
  messages_->Progress(" pbmHead %s ok ", head.c_str());
  return true;
}

uint8_t* RowReader::Next(const char* buffer) {
  uint8_t* row = nullptr;
  const ssize_t got = reader_.Next(rb_.rowBytes, &row);
  if (got <= 0) {
    messages_->Progress(" readfile to %s, iReadLen:%zd", buffer, got);
    return nullptr;
  }
  if (static_cast<size_t>(got) < rb_.rowBytes) {
    memset(row + got, rb_.padding, rb_.rowBytes - static_cast<size_t>(got));
  }
  return row;
}

bool PrintRows(PrinterJob& job, const PagePlan& plan, RowReader* text, RowReader* picture,
               const RegionMap* regions) {
  const size_t packed = (plan.columns + 7) / 8;
  const bool reduced = plan.reduced;
  const unsigned pairs = plan.text.columns / 2;
  const bool odd = plan.text.columns % 2 != 0;
  std::vector<uint8_t> merged(reduced ? packed : 0);
  std::vector<uint8_t> composed(picture != nullptr ? packed : 0);
  unsigned raster_rows = 0;  // text rows read
  RowPlacer placer(plan, job.out);
  for (unsigned y = 0; y < plan.rows && !job.cancel.canceled(); ++y) {
    const uint8_t* text_row = nullptr;
    bool last = false;  // the read-back breaks off after this row
    if (text != nullptr) {
      uint8_t* row = text->Next("Planes[0]");
      if (row == nullptr) break;
      ++raster_rows;
      if (!reduced) {
        TransToGray(row, plan.columns);
        text_row = row;
      } else {
        // Two raster rows make one printed row; an odd last row prints alone.
        TransToGray360(row, pairs, odd);
        memcpy(merged.data(), row, packed);
        if (raster_rows < text->readBack().cupsHeight) {
          uint8_t* second = text->Next("360_2");
          if (second == nullptr) {
            // The first row of the pair is already converted.
            last = true;
          } else {
            ++raster_rows;
            TransToGray360(second, pairs, odd);
            for (size_t i = 0; i < packed; ++i) merged[i] |= second[i];
          }
        }
        text_row = merged.data();
      }
    }
    std::span<const uint8_t> dots;
    if (picture == nullptr) {
      dots = {text_row, packed};
    } else {
      uint8_t* picture_row = picture->Next("Planes[0]");
      if (picture_row == nullptr) break;
      // Bytes of a picture row beyond the page's width are clipped.
      const size_t picture_bytes = std::min(picture->readBack().rowBytes, packed);
      if (text == nullptr && picture_bytes == packed) {
        dots = {picture_row, packed};
      } else {
        // A narrower image is blank beyond its edge.
        std::fill(composed.begin(), composed.end(), 0);
        memcpy(composed.data(), picture_row, picture_bytes);
        if (text != nullptr) {
          ComposeRow(*regions, y / kRegionRows, text_row, composed.data(), packed, composed.data());
        }
        dots = composed;
      }
    }
    if (!placer.Put(dots)) return false;
    if (last) break;
  }
  return true;
}

}  // namespace zova
