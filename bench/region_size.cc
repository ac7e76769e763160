// How well regions of each width sort a form page into text and pictures.
//
//   zova_region_size
//
// For the form page of zova-testpage (text beside a photo, a grey title, a
// shaded box with text, a coloured logo) on A4 and Letter at 180 dpi and on
// A4 at 360 dpi, for a page of text right up against a photo, and for
// region widths from 8 to 128 printed columns: the
// share of the pictures' inked pixels that fall in text regions (they would
// print thresholded: blobs and gaps), the share of the text's strokes that
// fall in picture regions (screened instead of thresholded), and the number
// of regions.
#include <cstdio>
#include <vector>

#include "pipeline/region_map.h"
#include "testpage/testpage.h"

namespace {

using zova::RegionCounter;
using zova::RegionMap;
using zova::testpage::Block;

struct Page {
  const char* name;
  unsigned width, height, dpi;
  bool tight;  // text right up against a photo, not on the form
};

// Text in the left half, a photo right against it in the right half: the
// edge between them falls anywhere in a region.
std::vector<Block> TightBlocks(unsigned width, unsigned height, unsigned dpi) {
  const unsigned half = width / 2 + 5;
  return {
      {0, 0, half, height, zova::testpage::Ink(zova::testpage::TextBitmap(half, height, 7, dpi))},
      {half, dpi, width - half, height / 2, zova::testpage::Photo(height / 2), true}};
}

void Measure(const Page& page, unsigned region_columns) {
  const std::vector<Block> blocks =
      page.tight ? TightBlocks(page.width, page.height, page.dpi)
                 : zova::testpage::FormBlocks(page.width, page.height, page.dpi);
  const zova::testpage::RowFill fill = zova::testpage::Blocks(blocks);
  const unsigned scale = page.dpi == 360 ? 2 : 1;
  RegionCounter counter(page.width, page.height, scale, region_columns);
  std::vector<uint8_t> rgb(3 * size_t{page.width});
  for (unsigned y = 0; y < page.height; ++y) {
    fill(y, rgb.data(), page.width);
    counter.AddRow(rgb.data());
  }
  const RegionMap map = counter.Classify();
  long picture = 0, picture_in_text = 0, strokes = 0, strokes_in_picture = 0;
  for (unsigned y = 0; y < page.height; ++y) {
    fill(y, rgb.data(), page.width);
    for (unsigned x = 0; x < page.width; ++x) {
      const uint8_t* px = &rgb[3 * x];
      if (px[0] + px[1] + px[2] > 730) continue;  // paper
      bool in_picture = false;
      for (const Block& b : blocks) {
        in_picture |= b.picture && x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height;
      }
      const bool text_region =
          map.IsText(y / (zova::kRegionRows * scale), x / (region_columns * scale));
      if (in_picture) {
        ++picture;
        picture_in_text += text_region;
      } else {
        ++strokes;
        strokes_in_picture += !text_region;
      }
    }
  }
  printf("%-12s %6u %13.2f%% %17.2f%% %8u\n", page.name, region_columns,
         100.0 * picture_in_text / static_cast<double>(picture),
         100.0 * strokes_in_picture / static_cast<double>(strokes), map.columns() * map.bands());
}

}  // namespace

int main() {
  const Page pages[] = {{"form A4 180", 1487, 2105, 180, false},
                        {"form Lt 180", 1530, 1980, 180, false},
                        {"form A4 360", 2975, 4210, 360, false},
                        {"tight A4 180", 1487, 2105, 180, true},
                        {"tight A4 360", 2975, 4210, 360, true}};
  printf("%-12s %6s %14s %18s %8s\n", "page", "width", "pictures->text", "strokes->picture",
         "regions");
  for (const Page& page : pages) {
    for (unsigned width : {8u, 16u, 24u, 32u, 48u, 64u, 96u, 128u}) Measure(page, width);
  }
  return 0;
}
