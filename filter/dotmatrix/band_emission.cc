// Band emission with trimming, the pending paper feed, and the page end.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dotmatrix/band_assembly.h"
#include "dotmatrix/command_set.h"
#include "dotmatrix/commands.h"
#include "dotmatrix/dotmatrix.h"

namespace zova {
namespace {

bool AllZero(const uint8_t* data, size_t len) {
  return std::all_of(data, data + len, [](uint8_t b) { return b == 0; });
}

void StartBand(OutputState& out) {
  out.Sink.Put(kCarriageReturn);
  if (out.LineNum != 0) PrintNLine(out);
}

// At 120 and 240 dpi the head cannot fire neighbouring dots in one pass: the
// band goes twice over the same line, first the bytes at even positions, then
// those at odd positions, each pass padded with 00 to the full count.
void WriteTwoPasses(OutputState& out, const CommandSet& commands, bool staggered,
                    const uint8_t* band, size_t count, size_t columns) {
  std::vector<uint8_t>& pass = out.PassScratch;
  pass.assign(count, 0);
  for (size_t j = 0; j < count; j += 2) pass[j] = band[j];
  out.Sink.Put(pass.data(), count);

  StartBand(out);
  commands.WriteImageCommand(out.Sink, out.Plan.band, staggered, columns);
  std::fill(pass.begin(), pass.end(), 0);
  for (size_t j = 1; j < count; j += 2) pass[j] = band[j];
  out.Sink.Put(pass.data(), count);
}

}  // namespace

void OutputRows(OutputState& out, int row) {
  const size_t dot_bytes = static_cast<size_t>(out.DotBytes);
  const size_t width = out.Plan.columns;
  // Without shingling there is no second pass buffer.
  const bool has_buffer = row == 0 || out.Shingling;
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
    const CommandSet& commands = CommandSetFor(out.SimulationType);
    const bool staggered = out.Shingling && out.LineCount != 0;

    StartBand(out);
    commands.WriteImageCommand(out.Sink, out.Plan.band, staggered, columns);
    if (out.Plan.band.x == 120 || out.Plan.band.x == 240) {
      WriteTwoPasses(out, commands, staggered, band, count, columns);
    } else {
      out.Sink.Put(band, count);
    }
  }

  // Paper moves whether or not the band carried dots. The odd buffer runs
  // 8 dot rows behind, so after it the paper catches up with the next band.
  if (out.Shingling && row == 1) {
    out.LineNum += out.Plan.band.y == 360 ? 5 : 2;
  } else {
    out.LineNum += 1;
  }

  out.Sink.Flush();
  if (band != nullptr) memset(band, 0, dot_bytes * width);
}

void PrintNLine(OutputState& out) {
  CommandSetFor(out.SimulationType).WriteFeed(out.Sink, out.LineNum);
  out.LineNum = 0;
}

bool EndPage(OutputState& out) {
  fprintf(stderr, "DEBUG: Shingling0:%d\n", out.Shingling ? 1 : 0);

  // The last rows of a page rarely fill a whole 8-row group: finish it as
  // if the missing rows were blank, so every row of the page prints.
  if (out.DotBit != 128) CompleteGroup(out);

  // Flush what the pass buffers still hold in paper order: the buffer whose
  // band starts higher on the page goes first.
  if (out.Shingling) {
    if (out.EvenOffset < out.OddOffset) {
      OutputRows(out, 1);
      OutputRows(out, 0);
    } else {
      OutputRows(out, 0);
      OutputRows(out, 1);
    }
  } else if (out.DotBit < 128 || out.EvenOffset != 0) {
    OutputRows(out, 0);
  }

  // The form feed replaces whatever feed is still pending.
  out.Sink.Put(kFormFeed);
  out.LineNum = 0;
  out.Sink.Flush();

  out.CompBuffer = {};
  out.LineBlock = {};
  out.LineBuffers = {nullptr, nullptr};
  // Rows after the page end have nowhere to go.
  out.Plan.columns = 0;
  return out.Sink.ok();
}

}  // namespace zova
