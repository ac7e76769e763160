// Output side of the ZOVA-QRT filter: the state shared by the band routines
// and every routine that writes printer commands.
//
// Calling order: Setup once per job; for each page StartPage, one OutputLine
// per packed 1-bit row in Planes[0], EndPage; Shutdown once at the end.
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace zova {

// Everything the band routines share for one job. A test builds a fresh one
// and points Sink at a memory stream.
struct OutputState {
  // Where printer bytes go; stdout for the filter.
  FILE* Sink = stdout;

  // Row buffer: the page pipeline reads each raster row into Planes[0];
  // binarisation rewrites it in place as a packed 1-bit row.
  std::array<std::vector<uint8_t>, 1> Planes;
  // Column bytes of the current 8-row group, one byte per column.
  std::vector<uint8_t> CompBuffer;
  // The two pass buffers, column-major, DotBytes bytes per column. Both point
  // into LineBlock; LineBuffers[1] is only used when shingling.
  std::vector<uint8_t> LineBlock;
  std::array<uint8_t*, 2> LineBuffers{nullptr, nullptr};

  int DotBit = 128;          // bit the next row sets in CompBuffer
  int DotBytes = 3;          // bytes per band column (24 pins / 8)
  int DotColumns = 0;        // columns per 1/60 inch: the trimming step
  int LineCount = 0;         // 8-row groups completed on this page
  int EvenOffset = 0;        // byte row the next group fills in pass buffer 0
  int OddOffset = 0;         // byte row the next group fills in pass buffer 1
  int Shingling = 0;         // two staggered pass buffers, 8 dot rows apart
  unsigned LineNum = 0;      // pending feed not yet sent to the printer
  int SimulationTypeLQ = 1;  // dialect of the current page; LQ before any page

  // Columns the page buffers were sized for by StartPage. Rows and bands never
  // use more, whatever the header says later.
  unsigned PageColumns = 0;
  // Scratch for the two-pass mode, kept to avoid an allocation per band.
  std::vector<uint8_t> PassScratch;
};

// Writes the job preamble: 9800 NUL bytes.
void Setup(OutputState& out);

// Writes the page setup of the header's dialect, resets the counters and
// allocates the page buffers. Returns false, with an "ERROR: " line and
// nothing written or allocated, for a page the printer cannot take: an empty
// OutputType, or an LQ page whose horizontal resolution has no mode byte.
[[nodiscard]] bool StartPage(OutputState& out, const ppd_file_t* ppd,
                             const cups_page_header2_t* header);

// Adds the packed 1-bit row in Planes[0] to the current band; emits a pass
// buffer when it is complete.
void OutputLine(OutputState& out, const cups_page_header2_t* header);

// Emits pass buffer `row` (0 or 1) as one bit-image command, after any
// pending feed, then clears it. A blank band sends nothing but still feeds.
void OutputRows(OutputState& out, const cups_page_header2_t* header, int row);

// Sends the pending feed LineNum and sets it to 0.
void PrintNLine(OutputState& out);

// Prints what the page still holds, writes the form feed and frees the page
// buffers.
void EndPage(OutputState& out, const cups_page_header2_t* header);

// Writes the job end of the last page's dialect.
void Shutdown(OutputState& out);

}  // namespace zova
