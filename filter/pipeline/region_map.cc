#include "pipeline/region_map.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "binarize/binarize.h"

namespace zova {
namespace {

// Strokes of text are black or a dark neutral grey; a dark colour is a
// picture's shadow.
constexpr int kStrokeTolerance = 24;

bool IsStroke(const uint8_t* px, int sum) {
  return sum < kDarkSum && std::abs(px[0] - px[1]) <= kStrokeTolerance &&
         std::abs(px[1] - px[2]) <= kStrokeTolerance && std::abs(px[0] - px[2]) <= kStrokeTolerance;
}

}  // namespace

RegionCounter::RegionCounter(unsigned width, unsigned height, unsigned scale,
                             unsigned region_columns)
    : width_(width),
      scale_(scale),
      region_columns_(region_columns),
      columns_((width + region_columns * scale - 1) / (region_columns * scale)),
      bands_((height + kRegionRows * scale - 1) / (kRegionRows * scale)),
      counts_(size_t{columns_} * bands_) {}

void RegionCounter::AddRow(const uint8_t* rgb) {
  const unsigned band = row_++ / (kRegionRows * scale_);
  if (band >= bands_) return;
  Counts* counts = &counts_[size_t{band} * columns_];
  const unsigned region_width = region_columns_ * scale_;
  for (unsigned x0 = 0, region = 0; x0 < width_; x0 += region_width, ++region) {
    const unsigned x1 = std::min(width_, x0 + region_width);
    Counts& c = counts[region];
    c.all += x1 - x0;
    // Most of a page is white: eight pixels at a time are skipped whole.
    unsigned x = x0;
    while (x < x1) {
      if (x + 8 <= x1 && EightWhitePixels(rgb + 3 * x)) {
        x += 8;
        continue;
      }
      for (const unsigned end = std::min(x1, x + 8); x < end; ++x) {
        const uint8_t* px = rgb + 3 * x;
        const int sum = px[0] + px[1] + px[2];
        if (sum > kNearWhiteSum) continue;
        const bool stroke = IsStroke(px, sum);
        c.ink += stroke;
        c.tone += !stroke;
        c.dark += sum < kDarkSum;
      }
    }
  }
}

DarkCount RegionCounter::PageCount() const {
  DarkCount count;
  for (const Counts& c : counts_) {
    count.iHis += c.dark;
    count.iTotal += c.ink + c.tone;
  }
  return count;
}

RegionMap RegionCounter::Classify() const {
  RegionMap map(columns_, bands_, region_columns_);
  auto counts = [&](unsigned band, unsigned region) -> const Counts& {
    return counts_[size_t{band} * columns_ + region];
  };
  // Text is strokes on paper: few tones, and paper showing around them.
  for (unsigned band = 0; band < bands_; ++band) {
    for (unsigned region = 0; region < columns_; ++region) {
      const Counts& c = counts(band, region);
      const uint32_t paper = c.all - c.ink - c.tone;
      if (c.tone > c.all / 8 || c.tone > c.ink || paper < c.all / 4) {
        map.SetPicture(band, region);
      }
    }
  }
  // A heavy dark mass beside a picture is the picture's shadow, not text:
  // thresholded, it would print as a black bar along the picture's edge.
  std::vector<std::pair<unsigned, unsigned>> shadows;
  for (unsigned band = 0; band < bands_; ++band) {
    for (unsigned region = 0; region < columns_; ++region) {
      if (!map.IsText(band, region) || counts(band, region).ink <= counts(band, region).all / 4) {
        continue;
      }
      const bool beside_picture = (band > 0 && !map.IsText(band - 1, region)) ||
                                  (band + 1 < bands_ && !map.IsText(band + 1, region)) ||
                                  (region > 0 && !map.IsText(band, region - 1)) ||
                                  (region + 1 < columns_ && !map.IsText(band, region + 1));
      if (beside_picture) shadows.emplace_back(band, region);
    }
  }
  for (const auto& [band, region] : shadows) map.SetPicture(band, region);

  for (unsigned band = 0; band < bands_; ++band) {
    for (unsigned region = 0; region < columns_; ++region) {
      const Counts& c = counts(band, region);
      if (map.IsText(band, region)) {
        map.anyText |= c.ink > 0;
      } else {
        map.anyPicture = true;
        map.pictureCount.iHis += c.dark;
        map.pictureCount.iTotal += c.ink + c.tone;
      }
    }
  }
  return map;
}

void ComposeRow(const RegionMap& map, unsigned band, const uint8_t* text, const uint8_t* picture,
                size_t bytes, uint8_t* out) {
  const size_t region_bytes = map.regionColumns() / 8;
  for (unsigned region = 0; region < map.columns(); ++region) {
    const size_t start = region * region_bytes;
    if (start >= bytes) break;
    const size_t length = std::min(region_bytes, bytes - start);
    memcpy(out + start, (map.IsText(band, region) ? text : picture) + start, length);
  }
}

}  // namespace zova
