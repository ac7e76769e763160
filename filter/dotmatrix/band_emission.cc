// Band emission with trimming, the pending paper feed, and the page end.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dotmatrix/band_assembly.h"
#include "dotmatrix/commands.h"
#include "dotmatrix/dotmatrix.h"
#include "dotmatrix/output_sink.h"

namespace zova {
namespace {

bool AllZero(const uint8_t* data, size_t len) {
  return std::all_of(data, data + len, [](uint8_t b) { return b == 0; });
}

// ESC * mode byte for the band's horizontal density. At 360 dpi the shingled
// bands use the modes the printer staggers itself.
int LqModeByte(const OutputState& out, const cups_page_header2_t* header) {
  const bool staggered = out.Shingling == 1 && out.LineCount != 0;
  const std::optional<uint8_t> mode =
      zova::LqModeByte(header->HWResolution[0], header->HWResolution[1], staggered);
  return mode ? *mode : -1;
}

void WriteLqImageCommand(OutputState& out, uint8_t mode, size_t columns) {
  PutBytes(out, {kEsc, '*', mode, static_cast<uint8_t>(columns & 0xFF),
                 static_cast<uint8_t>((columns >> 8) & 0xFF)});
}

void WriteNativeImageCommand(OutputState& out, size_t columns) {
  PutBytes(out, {kEsc, '%', '1', static_cast<uint8_t>((columns >> 8) & 0xFF),
                 static_cast<uint8_t>(columns & 0xFF)});
}

void StartBand(OutputState& out) {
  PutByte(out, kCarriageReturn);
  if (out.LineNum != 0) PrintNLine(out);
}

// At 120 and 240 dpi the head cannot fire neighbouring dots in one pass: the
// band goes twice over the same line, first the bytes at even positions, then
// those at odd positions, each pass padded with 00 to the full count.
void WriteTwoPasses(OutputState& out, const cups_page_header2_t* header, const uint8_t* band,
                    size_t count, size_t columns) {
  std::vector<uint8_t>& pass = out.PassScratch;
  pass.assign(count, 0);
  for (size_t j = 0; j < count; j += 2) pass[j] = band[j];
  PutBlock(out, pass.data(), count);

  StartBand(out);
  if (out.SimulationTypeLQ == 1) {
    WriteLqImageCommand(out, header->HWResolution[0] == 120 ? 0x01 : 0x03, columns);
  } else {
    WriteNativeImageCommand(out, columns);
  }
  std::fill(pass.begin(), pass.end(), 0);
  for (size_t j = 1; j < count; j += 2) pass[j] = band[j];
  PutBlock(out, pass.data(), count);
}

}  // namespace

void OutputRows(OutputState& out, const cups_page_header2_t* header, int row) {
  const size_t dot_bytes = static_cast<size_t>(out.DotBytes);
  const size_t width = std::min<size_t>(header->cupsWidth, out.PageColumns);
  // Without shingling there is no second pass buffer.
  const bool has_buffer = row == 0 || out.Shingling == 1;
  uint8_t* band = has_buffer ? out.LineBuffers[row] : nullptr;
  size_t count = band != nullptr ? dot_bytes * width : 0;

  if (count > 0 && !AllZero(band, count)) {
    // Trim trailing blank columns in steps of 1/60 inch, counted from the
    // end of the band. Below 60 dpi there is no step: send the band whole.
    const size_t unit = dot_bytes * static_cast<size_t>(out.DotColumns);
    if (unit > 0) {
      while (count >= unit && AllZero(band + count - unit, unit)) count -= unit;
    }
    const size_t columns = count / dot_bytes;
    const unsigned r0 = header->HWResolution[0];
    const int mode = out.SimulationTypeLQ == 1 ? LqModeByte(out, header) : 0;

    if (mode < 0) {
      // StartPage refuses such pages; a band can only get here if a caller
      // changed the resolution afterwards.
      fprintf(stderr, "ERROR: No LQ bit-image mode for %u dpi, band dropped\n", r0);
    } else {
      StartBand(out);
      if (out.SimulationTypeLQ == 1) {
        WriteLqImageCommand(out, static_cast<uint8_t>(mode), columns);
      } else {
        WriteNativeImageCommand(out, columns);
      }
      if (r0 == 120 || r0 == 240) {
        WriteTwoPasses(out, header, band, count, columns);
      } else {
        PutBlock(out, band, count);
      }
    }
  }

  // Paper moves whether or not the band carried dots. The odd buffer runs
  // 8 dot rows behind, so after it the paper catches up with the next band.
  if (out.Shingling == 1 && row == 1) {
    out.LineNum += header->HWResolution[1] == 360 ? 5 : 2;
  } else {
    out.LineNum += 1;
  }

  FlushSink(out);
  if (band != nullptr) memset(band, 0, dot_bytes * width);
}

void PrintNLine(OutputState& out) {
  if (out.SimulationTypeLQ == 1) {
    // Relative move in 1/180 inch (ESC ( U 20/3600), then back to the
    // printer's 64/3600 unit.
    const unsigned v = out.LineNum * 8;
    PutBytes(out, {kEsc, '(', 'U', 0x01, 0x00, 0x14});
    PutBytes(out, {kEsc, '(', 'v', 0x02, 0x00, static_cast<uint8_t>(v % 256),
                   static_cast<uint8_t>((v / 256) & 0xFF)});
    out.LineNum = 0;
    PutBytes(out, {kEsc, '(', 'U', 0x01, 0x00, 0x40});
  } else {
    // ESC % 5 moves at most 255 units.
    unsigned t = out.LineNum * 16;
    while (t > 255) {
      PutBytes(out, {kEsc, '%', '5', 0xFF});
      t -= 255;
    }
    PutBytes(out, {kEsc, '%', '5', static_cast<uint8_t>(t)});
    out.LineNum = 0;
  }
}

void EndPage(OutputState& out, const cups_page_header2_t* header) {
  fprintf(stderr, "DEBUG: Shingling0:%d\n", out.Shingling);

  // The last rows of a page rarely fill a whole 8-row group: finish it as
  // if the missing rows were blank, so every row of the page prints.
  if (out.DotBit != 128) CompleteGroup(out, header);

  // Flush what the pass buffers still hold in paper order: the buffer whose
  // band starts higher on the page goes first.
  if (out.Shingling == 1) {
    if (out.EvenOffset < out.OddOffset) {
      OutputRows(out, header, 1);
      OutputRows(out, header, 0);
    } else {
      OutputRows(out, header, 0);
      OutputRows(out, header, 1);
    }
  } else if (out.DotBit < 128 || out.EvenOffset != 0) {
    OutputRows(out, header, 0);
  }

  // The form feed replaces whatever feed is still pending.
  PutByte(out, kFormFeed);
  out.LineNum = 0;
  FlushSink(out);

  out.Planes[0] = {};
  out.CompBuffer = {};
  out.LineBlock = {};
  out.LineBuffers = {nullptr, nullptr};
  out.PageColumns = 0;
}

}  // namespace zova
