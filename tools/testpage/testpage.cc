#include "testpage/testpage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "netpbm/netpbm_header.h"
#include "testpage/synthetic_photo.h"

namespace zova::testpage {

cups_page_header2_t PageDescription::Header() const {
  cups_page_header2_t h;
  memset(&h, 0, sizeof h);
  strncpy(h.OutputType, outputType.c_str(), sizeof h.OutputType - 1);
  strcpy(h.MediaClass, "PwgRaster");
  h.HWResolution[0] = hwResolution[0];
  h.HWResolution[1] = hwResolution[1];
  h.PageSize[0] = pageSize[0];
  h.PageSize[1] = pageSize[1];
  h.NumCopies = 1;
  h.cupsWidth = width;
  h.cupsHeight = height;
  h.cupsMediaType = 0;
  h.cupsBitsPerColor = bitsPerPixel == 48 ? 16 : bitsPerPixel >= 8 ? 8 : bitsPerPixel;
  h.cupsBitsPerPixel = bitsPerPixel;
  h.cupsBytesPerLine = bytesPerLine != 0 ? bytesPerLine : (width * bitsPerPixel + 7) / 8;
  h.cupsColorOrder = CUPS_ORDER_CHUNKED;
  h.cupsColorSpace = CUPS_CSPACE_RGB;
  h.cupsRowCount = rowCount;
  return h;
}

RowFill White() {
  return [](unsigned, uint8_t* rgb, unsigned width) { memset(rgb, 0xFF, size_t{width} * 3); };
}

RowFill Solid(uint8_t r, uint8_t g, uint8_t b) {
  return [=](unsigned, uint8_t* rgb, unsigned width) {
    for (unsigned x = 0; x < width; ++x) {
      rgb[3 * x] = r;
      rgb[3 * x + 1] = g;
      rgb[3 * x + 2] = b;
    }
  };
}

RowFill FromBitmap(PackedBitmap bitmap) {
  const RowFill ink = Ink(std::move(bitmap));
  return [ink](unsigned y, uint8_t* rgb, unsigned width) {
    memset(rgb, 0xFF, size_t{width} * 3);
    ink(y, rgb, width);
  };
}

RowFill Ink(PackedBitmap bitmap, uint8_t r, uint8_t g, uint8_t b) {
  return [bitmap = std::move(bitmap), r, g, b](unsigned y, uint8_t* rgb, unsigned width) {
    if (y >= bitmap.height()) return;
    for (unsigned x = 0; x < std::min<size_t>(width, bitmap.width()); ++x) {
      if (!bitmap.Get(x, y)) continue;
      rgb[3 * x] = r;
      rgb[3 * x + 1] = g;
      rgb[3 * x + 2] = b;
    }
  };
}

RowFill Blocks(std::vector<Block> blocks) {
  return [blocks = std::move(blocks)](unsigned y, uint8_t* rgb, unsigned width) {
    memset(rgb, 0xFF, size_t{width} * 3);
    for (const Block& block : blocks) {
      if (y < block.y || y >= block.y + block.height || block.x >= width) continue;
      block.fill(y - block.y, rgb + 3 * size_t{block.x}, std::min(block.width, width - block.x));
    }
  };
}

RowFill FormPage(unsigned width, unsigned height, unsigned dpi) {
  return Blocks(FormBlocks(width, height, dpi));
}

std::vector<Block> FormBlocks(unsigned width, unsigned height, unsigned dpi) {
  // A page too small for the form holds text beside a photo.
  if (width < 4 * dpi || height < 5 * dpi) {
    const unsigned half = width / 2;
    return {{0, 0, half, height, Ink(TextBitmap(half, height, 12, dpi))},
            {half, 0, width - half, height, Photo(height), true}};
  }
  const unsigned margin = dpi / 2;
  const unsigned column = (width - 3 * margin) / 2;
  const unsigned right = 2 * margin + column;
  const unsigned title = dpi / 3;
  // A grey title in letters twice the size: the first line of a text block
  // of its own, whose margin is cut off.
  const PackedBitmap letters = TextBitmap(width - 2 * margin, 2 * dpi, 11, 2 * dpi);
  unsigned first = 0;
  while (first < letters.height() &&
         std::none_of(letters.Row(first), letters.Row(first) + letters.stride(),
                      [](uint8_t dots) { return dots != 0; })) {
    ++first;
  }
  const RowFill title_ink = Ink(letters, 0x99, 0x99, 0x99);
  std::vector<Block> blocks = {
      {margin, margin, width - 2 * margin, title,
       [title_ink, first](unsigned y, uint8_t* rgb, unsigned w) { title_ink(y + first, rgb, w); },
       true}};
  const unsigned top = margin + title + dpi / 6;
  // Text down the left column; beside it a photo, below it a shaded box
  // with text on it and a coloured logo.
  blocks.push_back({margin, top, column, height - top - margin,
                    Ink(TextBitmap(column, height - top - margin, 12, dpi))});
  const unsigned photo = std::min(column * 3 / 4, (height - top) / 3);
  blocks.push_back({right, top, column, photo, Photo(photo), true});
  const unsigned box_top = top + photo + dpi / 4;
  const unsigned box = std::min(dpi * 3 / 2, height - box_top - margin);
  blocks.push_back({right, box_top, column, box, Solid(0xDD, 0xDD, 0xDD), true});
  blocks.push_back({right + dpi / 8, box_top + dpi / 8, column - dpi / 4, box - dpi / 4,
                    Ink(TextBitmap(column - dpi / 4, box - dpi / 4, 13, dpi)), true});
  const unsigned logo_top = box_top + box + dpi / 4;
  blocks.push_back({right, logo_top, dpi, dpi / 2, Solid(0xE0, 0x60, 0x10), true});
  // More text under the logo, to the foot of the page.
  const unsigned rest = logo_top + dpi / 2 + dpi / 6;
  if (rest + margin < height) {
    blocks.push_back({right, rest, column, height - rest - margin,
                      Ink(TextBitmap(column, height - rest - margin, 14, dpi))});
  }
  return blocks;
}

RowFill FromPpm(const std::string& path) {
  struct Image {
    unsigned width = 0, height = 0;
    std::vector<uint8_t> data;
  };
  auto image = std::make_shared<Image>();
  if (FILE* f = fopen(path.c_str(), "rb")) {
    const NetpbmHeader ppm = ReadNetpbmHeader([f] { return fgetc(f); }, NetpbmForm::kPpm);
    if (ppm.status == NetpbmHeader::kRead && ppm.maxval == 255 && ppm.width < (1u << 20) &&
        ppm.height < (1u << 20)) {
      image->width = static_cast<unsigned>(ppm.width);
      image->height = static_cast<unsigned>(ppm.height);
      // No more than the file holds, whatever its header claims.
      struct stat file {};
      const size_t held = fstat(fileno(f), &file) == 0 ? static_cast<size_t>(file.st_size) : 0;
      image->data.resize(std::min(size_t{image->width} * image->height * 3, held));
      image->data.resize(fread(image->data.data(), 1, image->data.size(), f));
    }
    fclose(f);
  }
  return [image](unsigned y, uint8_t* rgb, unsigned width) {
    memset(rgb, 0xFF, size_t{width} * 3);
    const size_t row = size_t{image->width} * 3;
    if (y >= image->height || (y + 1) * row > image->data.size()) return;
    memcpy(rgb, image->data.data() + y * row, std::min<size_t>(row, size_t{width} * 3));
  };
}

RowFill Photo(unsigned height) {
  return [height](unsigned y, uint8_t* rgb, unsigned width) {
    SyntheticPhotoRow(static_cast<int>(width), static_cast<int>(height), static_cast<int>(y), rgb);
  };
}

PackedBitmap TextBitmap(unsigned width, unsigned height, unsigned seed, unsigned dpi) {
  PackedBitmap page(width, height);
  // Glyphs of about 10-point type: cells of 1/12 by 1/6 inch, strokes of
  // 1/72 inch, words of 2 to 8 glyphs, lines of 1/6 inch.
  const unsigned cell_w = std::max(3u, dpi / 12), line_h = std::max(6u, dpi / 6);
  const unsigned glyph_h = line_h * 2 / 3, stroke = std::max(1u, dpi / 72);
  const unsigned margin = std::min(width / 10, dpi / 2);
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  for (unsigned top = margin; top + line_h <= height; top += line_h) {
    unsigned x = margin;
    while (x + cell_w < width - std::min(width, margin)) {
      const unsigned word = 2 + next() % 7;
      for (unsigned g = 0; g < word && x + cell_w < width; ++g, x += cell_w) {
        const uint32_t shape = next();
        for (unsigned yy = 0; yy < glyph_h; ++yy) {
          for (unsigned xx = 0; xx + 1 < cell_w; ++xx) {
            const bool left = (shape & 1) && xx < stroke;
            const bool right = (shape & 2) && xx + stroke + 1 >= cell_w;
            const bool top_bar = (shape & 4) && yy < stroke;
            const bool mid_bar = (shape & 8) && yy >= glyph_h / 2 && yy < glyph_h / 2 + stroke;
            const bool low_bar = (shape & 16) && yy + stroke >= glyph_h;
            if (left || right || top_bar || mid_bar || low_bar) page.Set(x + xx, top + yy);
          }
        }
      }
      x += cell_w;  // space between words
    }
  }
  return page;
}

std::optional<PackedBitmap> ReadPbmFile(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::optional<PackedBitmap> image;
  const NetpbmHeader pbm = ReadNetpbmHeader([file] { return fgetc(file); }, NetpbmForm::kPbm);
  struct stat held {};
  if (pbm.status == NetpbmHeader::kRead && pbm.width > 0 && pbm.height > 0 &&
      pbm.width < (1u << 24) && pbm.height < (1u << 24) && fstat(fileno(file), &held) == 0 &&
      (pbm.width + 7) / 8 * pbm.height <= static_cast<uint64_t>(held.st_size)) {
    image.emplace(pbm.width, pbm.height);
    for (size_t y = 0; y < pbm.height && image; ++y) {
      if (fread(image->Row(y), 1, image->stride(), file) != image->stride()) image.reset();
    }
  }
  fclose(file);
  return image;
}

PageDescription A4Page(unsigned dpi_x, unsigned dpi_y, const std::string& output_type) {
  PageDescription page;
  page.outputType = output_type;
  page.hwResolution[0] = dpi_x;
  page.hwResolution[1] = dpi_y;
  page.width = static_cast<unsigned>(595.0 / 72.0 * dpi_x);
  page.height = static_cast<unsigned>(842.0 / 72.0 * dpi_y);
  return page;
}

RasterStreamWriter::RasterStreamWriter(int fd, bool compressed)
    : raster_(cupsRasterOpen(fd, compressed ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE)) {}

RasterStreamWriter::~RasterStreamWriter() { Close(); }

void RasterStreamWriter::Close() {
  if (raster_ != nullptr) cupsRasterClose(raster_);
  raster_ = nullptr;
}

bool RasterStreamWriter::Header(const PageDescription& page) {
  cups_page_header2_t h = page.Header();
  // The row is made when rows are written: a header may claim rows of
  // gigabytes that never follow.
  row_.clear();
  bytes_per_line_ = h.cupsBytesPerLine;
  return cupsRasterWriteHeader2(raster_, &h) != 0;
}

bool RasterStreamWriter::Rows(const PageDescription& page, unsigned from, unsigned to) {
  const RowFill fill = page.fill ? page.fill : White();
  if (from < to) row_.resize(bytes_per_line_);
  const unsigned width = std::min(page.width, static_cast<unsigned>(row_.size() / 3));
  for (unsigned y = from; y < to; ++y) {
    std::fill(row_.begin(), row_.end(), 0xFF);
    fill(y, row_.data(), width);
    if (cupsRasterWritePixels(raster_, row_.data(), static_cast<unsigned>(row_.size())) == 0) {
      return false;
    }
  }
  return true;
}

bool WriteRasterFd(int fd, const std::vector<PageDescription>& pages, bool compressed) {
  RasterStreamWriter writer(fd, compressed);
  if (!writer.ok()) return false;
  for (const PageDescription& page : pages) {
    if (!writer.Header(page)) return false;
    if (!writer.Rows(page, 0, std::min(page.height, page.rowsWritten))) return false;
  }
  return true;
}

bool WriteRasterFile(const std::string& path, const std::vector<PageDescription>& pages,
                     bool compressed) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool ok = WriteRasterFd(fd, pages, compressed);
  return close(fd) == 0 && ok;
}

}  // namespace zova::testpage
