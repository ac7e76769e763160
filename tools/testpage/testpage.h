// Generated CUPS raster jobs: pages described by their header fields and a
// content rule, written with libcups as CUPS itself writes them.
#pragma once

#include <cups/raster.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dotmatrix/packed_bitmap.h"

namespace zova::testpage {

// Fills one RGB row (3 bytes per pixel) of a page.
using RowFill = std::function<void(unsigned y, uint8_t* rgb, unsigned width)>;

struct PageDescription {
  std::string outputType = "LQ";
  unsigned hwResolution[2] = {180, 180};
  unsigned pageSize[2] = {595, 842};  // points
  unsigned width = 0;
  unsigned height = 0;
  unsigned bitsPerPixel = 24;
  unsigned bytesPerLine = 0;  // 0: 3 x width
  unsigned rowCount = 0;
  RowFill fill;  // empty: white
  // Rows actually written; fewer than height makes a short (truncated) page.
  unsigned rowsWritten = ~0u;

  cups_page_header2_t Header() const;
};

// Content rules.
RowFill White();
RowFill Solid(uint8_t r, uint8_t g, uint8_t b);
// Black where the bitmap has a dot, white elsewhere.
RowFill FromBitmap(PackedBitmap bitmap);
// Rows of a PPM (P6, maxval 255) file; the page is white beyond it.
RowFill FromPpm(const std::string& path);
// A photo-like scene of the given height (see synthetic_photo.h).
RowFill Photo(unsigned height);
// Only the bitmap's dots, in this colour, over whatever is below them.
RowFill Ink(PackedBitmap bitmap, uint8_t r = 0, uint8_t g = 0, uint8_t b = 0);

// A rectangle of a page, filled by its own rule in its own coordinates.
struct Block {
  unsigned x = 0, y = 0, width = 0, height = 0;
  RowFill fill;
  bool picture = false;  // tones to be printed as such, not strokes
};
// White, with the blocks drawn over it in order.
RowFill Blocks(std::vector<Block> blocks);
// A form as offices print them: a grey title, paragraphs of text, a shaded
// box with text in it, a coloured logo, and a photo beside the text.
std::vector<Block> FormBlocks(unsigned width, unsigned height, unsigned dpi);
RowFill FormPage(unsigned width, unsigned height, unsigned dpi);

// Lines of glyph-like black strokes on white, as a page of printed text.
PackedBitmap TextBitmap(unsigned width, unsigned height, unsigned seed, unsigned dpi = 180);

// A raw PBM image (P4) as the halftoning tool or Ghostscript writes it, or
// nullopt when the file cannot be read or is not one.
std::optional<PackedBitmap> ReadPbmFile(const std::string& path);

// A4 at the given resolution, in pixels.
PageDescription A4Page(unsigned dpi_x, unsigned dpi_y, const std::string& output_type = "LQ");

// Writes a raster stream with CUPS's compressed encoding (or uncompressed).
// Returns false with errno set when the stream cannot be written.
bool WriteRasterFd(int fd, const std::vector<PageDescription>& pages, bool compressed = true);
bool WriteRasterFile(const std::string& path, const std::vector<PageDescription>& pages,
                     bool compressed = true);

// Writes a raster stream in steps, for tests that act between rows.
class RasterStreamWriter {
 public:
  RasterStreamWriter(int fd, bool compressed);
  ~RasterStreamWriter();
  RasterStreamWriter(const RasterStreamWriter&) = delete;
  RasterStreamWriter& operator=(const RasterStreamWriter&) = delete;

  bool ok() const { return raster_ != nullptr; }
  bool Header(const PageDescription& page);
  // Writes rows [from, to) of the page last started.
  bool Rows(const PageDescription& page, unsigned from, unsigned to);
  void Close();

 private:
  cups_raster_t* raster_ = nullptr;
  std::vector<uint8_t> row_;
  unsigned bytes_per_line_ = 0;
};

}  // namespace zova::testpage
