// Output side of the ZOVA-QRT driver: the state the band routines share and
// every routine that writes printer commands. It prints what a page plan
// says; it never sees the raster.
//
// Calling order: Setup once per job; for each page StartPage, one OutputLine
// per packed 1-bit row, EndPage; Shutdown once at the end.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "dotmatrix/command_set.h"
#include "dotmatrix/commands.h"
#include "dotmatrix/output_sink.h"
#include "dotmatrix/page_lines.h"
#include "dotmatrix/page_plan.h"
#include "messages/messages.h"

namespace zova {

class OutputState {
 public:
  // Printer bytes go to `printer`, messages to `messages`.
  OutputState(FILE* printer, Messages& messages) : messages_(messages), Sink(printer, messages) {}
  OutputState(const OutputState&) = delete;
  OutputState& operator=(const OutputState&) = delete;

  // Writes the job preamble: kPreambleLength NUL bytes.
  void Setup();

  // Allocates the page buffers, writes the page setup of the plan's command
  // set and resets the counters. The plan's resolutions must be ones its
  // command set prints (CommandSet::CanPrint). Returns false, with an error
  // and nothing written, when the buffers do not fit in memory. An LQ page
  // may print `lines` between its bands, which must outlive the page.
  [[nodiscard]] bool StartPage(const PagePlan& plan, PageLines* lines = nullptr);

  // Adds one packed 1-bit row (most significant bit leftmost, 1 prints a
  // dot) to the current band and emits a pass buffer when it is complete.
  // Columns beyond the page's width are left out. Returns false once the
  // printer stream has failed.
  [[nodiscard]] bool OutputLine(std::span<const uint8_t> row);

  // Prints what the page still holds, writes the form feed and frees the
  // page buffers. Returns false once the printer stream has failed.
  [[nodiscard]] bool EndPage();

  // Writes the job end of the last page's command set and flushes. Returns
  // false once the printer stream has failed.
  [[nodiscard]] bool Shutdown();

  // The printer stream of a route that writes its own page commands (text):
  // the job then ends in `commands`.
  OutputSink& OwnPages(CommandSetId commands) {
    SimulationType = commands;
    return Sink;
  }

  // Whether every byte so far has gone out.
  bool ok() const { return Sink.ok(); }

 private:
  // Bytes per band column: 24 pins.
  static constexpr size_t DotBytes = kBytesPerColumn;

  void CompleteGroup();
  void OutputRows(int row);
  void PrintNLine();
  void StartBand();
  void WriteTwoPasses(bool staggered, const uint8_t* band, size_t count, size_t columns);
  void WriteInkedBand(bool staggered, const uint8_t* band, size_t columns);
  void WriteInkedPass(bool staggered, const uint8_t* pass, size_t columns);
  unsigned FormUnits(const PagePlan& plan);

  Messages& messages_;
  OutputSink Sink;
  // The page being printed, as StartPage was given it, and its command set.
  PagePlan Plan;
  const CommandSet* Commands = nullptr;
  bool PageOpen = false;

  // Column bytes of the current 8-row group, one byte per column.
  std::vector<uint8_t> CompBuffer;
  // The two pass buffers, column-major, DotBytes bytes per column. Both point
  // into LineBlock; LineBuffers[1] is only used when shingling.
  std::vector<uint8_t> LineBlock;
  std::array<uint8_t*, 2> LineBuffers{nullptr, nullptr};

  int DotBit = 128;       // bit the next row sets in CompBuffer
  int LineCount = 0;      // 8-row groups completed on this page
  size_t EvenOffset = 0;  // byte row the next group fills in pass buffer 0
  size_t OddOffset = 0;   // byte row the next group fills in pass buffer 1
  unsigned LineNum = 0;   // pending feed not yet sent to the printer
  // Whether the command set's move unit is in force: the page setup and
  // each feed set units of their own.
  bool MoveUnitSet = false;
  // The job's forms so far under an exact form length, in inches: as long
  // as the media are, and as long as the page lengths sent make them. Each
  // page's length takes up what the ones before it rounded away.
  double FormsExact = 0;
  double FormsSent = 0;
  // The page's lines in the printer's fonts, and the feed sent so far on the
  // page, which with LineNum says where the next band prints.
  PageLines* Lines = nullptr;
  unsigned Fed = 0;
  // Command set of the last page; the job ends in it.
  CommandSetId SimulationType = CommandSetId::kLq;

  // Scratch for the two-pass mode, kept to avoid an allocation per band.
  std::vector<uint8_t> PassScratch;
};

}  // namespace zova
