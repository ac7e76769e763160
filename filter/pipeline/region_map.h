// A page divided into regions, one band (24 printed rows) high and
// kRegionColumns printed columns wide, each printed as text or as a picture
// by what its own pixels are: pages that hold both print their text sharp
// and their pictures in tone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pipeline/page_classification.h"

namespace zova {

// A whole number of bytes of a packed row, so regions meet at byte edges;
// bench/region_size measures the choice.
inline constexpr unsigned kRegionColumns = 32;
inline constexpr unsigned kRegionRows = 24;

class RegionMap {
 public:
  RegionMap() = default;
  RegionMap(unsigned columns, unsigned bands, unsigned region_columns)
      : columns_(columns),
        bands_(bands),
        region_columns_(region_columns),
        text_(size_t{columns} * bands, 1) {}

  unsigned regionColumns() const { return region_columns_; }  // printed columns per region
  unsigned columns() const { return columns_; }               // regions across
  unsigned bands() const { return bands_; }                   // regions down
  bool IsText(unsigned band, unsigned column) const {
    return text_[size_t{band} * columns_ + column] != 0;
  }
  void SetPicture(unsigned band, unsigned column) { text_[size_t{band} * columns_ + column] = 0; }

  bool anyText = false;     // a region with text strokes
  bool anyPicture = false;  // a region with tones
  DarkCount pictureCount;   // the picture regions' pixels, for the tool's screen

 private:
  unsigned columns_ = 0;
  unsigned bands_ = 0;
  unsigned region_columns_ = kRegionColumns;
  std::vector<uint8_t> text_;  // 1: text (or blank), 0: picture
};

// Counts a page's pixels region by region as its rows are spooled. `scale`
// raster pixels make one printed dot each way: 2 on a 360x360 page printed
// at 180x180.
class RegionCounter {
 public:
  // `region_columns`, a multiple of 8, is for measuring other sizes.
  RegionCounter(unsigned width, unsigned height, unsigned scale,
                unsigned region_columns = kRegionColumns);
  // The next raster row, 3 bytes per pixel.
  void AddRow(const uint8_t* rgb);
  // The dark count of the whole page, from its regions' counts.
  DarkCount PageCount() const;
  // A region is a picture when more than an eighth of its pixels are tones
  // (neither near-white nor black strokes), when its tones outnumber its
  // strokes, when less than a quarter of it is paper, or when more than a
  // quarter of it is strokes and it borders a picture; any other is text.
  RegionMap Classify() const;

 private:
  struct Counts {
    uint32_t ink = 0;   // strokes: black or a dark neutral grey
    uint32_t tone = 0;  // neither strokes nor near-white
    uint32_t dark = 0;  // channel sum below 301, as the page's dark count
    uint32_t all = 0;
  };
  unsigned width_;
  unsigned scale_;
  unsigned region_columns_;
  unsigned columns_;
  unsigned bands_;
  unsigned row_ = 0;
  std::vector<Counts> counts_;
};

// Selects, region by region, the dots of `text` or of `picture` into `out`:
// one packed printed row of `band`.
void ComposeRow(const RegionMap& map, unsigned band, const uint8_t* text, const uint8_t* picture,
                size_t bytes, uint8_t* out);

}  // namespace zova
