// Output side of the ZOVA-QRT driver: the state shared by the band routines
// and every routine that writes printer commands. It prints what a page plan
// says; it never sees the raster.
//
// Calling order: Setup once per job; for each page StartPage, one OutputLine
// per packed 1-bit row, EndPage; Shutdown once at the end.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "dotmatrix/commands.h"
#include "dotmatrix/output_sink.h"
#include "dotmatrix/page_plan.h"

namespace zova {

// Everything the band routines share for one job. A test builds a fresh one
// and points Sink at a memory stream.
struct OutputState {
  OutputSink Sink;
  // The page being printed, as StartPage was given it.
  PagePlan Plan;

  // Column bytes of the current 8-row group, one byte per column.
  std::vector<uint8_t> CompBuffer;
  // The two pass buffers, column-major, DotBytes bytes per column. Both point
  // into LineBlock; LineBuffers[1] is only used when shingling.
  std::vector<uint8_t> LineBlock;
  std::array<uint8_t*, 2> LineBuffers{nullptr, nullptr};

  int DotBit = 128;                                  // bit the next row sets in CompBuffer
  int DotBytes = static_cast<int>(kBytesPerColumn);  // bytes per band column
  int DotColumns = 0;                                // the trimming step, columns per 1/60 inch
  int LineCount = 0;                                 // 8-row groups completed on this page
  int EvenOffset = 0;      // byte row the next group fills in pass buffer 0
  int OddOffset = 0;       // byte row the next group fills in pass buffer 1
  bool Shingling = false;  // two staggered pass buffers, 8 dot rows apart
  unsigned LineNum = 0;    // pending feed not yet sent to the printer
  // Command set of the current page; the job end follows the last page's.
  CommandSetId SimulationType = CommandSetId::kLq;

  // Scratch for the two-pass mode, kept to avoid an allocation per band.
  std::vector<uint8_t> PassScratch;
};

// Writes the job preamble: kPreambleLength NUL bytes.
void Setup(OutputState& out);

// Allocates the page buffers, writes the page setup of the plan's command set
// and resets the counters. The plan's resolutions must be ones its command
// set prints (CommandSet::CanPrint). Returns false, with an "ERROR: " line
// and nothing written, when the buffers do not fit in memory.
[[nodiscard]] bool StartPage(OutputState& out, const PagePlan& plan);

// Adds one packed 1-bit row (most significant bit leftmost, 1 prints a dot)
// to the current band and emits a pass buffer when it is complete. Returns
// false once the printer stream has failed.
[[nodiscard]] bool OutputLine(OutputState& out, std::span<const uint8_t> row);

// Emits pass buffer `row` (0 or 1) as one bit-image command, after any
// pending feed, then clears it. A blank band sends nothing but still feeds.
void OutputRows(OutputState& out, int row);

// Sends the pending feed LineNum and sets it to 0.
void PrintNLine(OutputState& out);

// Prints what the page still holds, writes the form feed and frees the page
// buffers. Returns false once the printer stream has failed.
[[nodiscard]] bool EndPage(OutputState& out);

// Writes the job end of the last page's command set and flushes. Returns
// false once the printer stream has failed.
[[nodiscard]] bool Shutdown(OutputState& out);

}  // namespace zova
