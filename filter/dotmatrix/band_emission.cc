// Band emission with trimming, the pending paper feed, and the page end.
#include <algorithm>
#include <cstring>

#include "dotmatrix/dotmatrix.h"

namespace zova {
namespace {

bool AllZero(const uint8_t* data, size_t len) {
  return std::all_of(data, data + len, [](uint8_t b) { return b == 0; });
}

}  // namespace

void OutputState::StartBand() {
  // Lines above the band print first; they leave the paper where the band
  // prints, its feed made.
  if (Lines != nullptr && Lines->PrintAbove(Sink, (Fed + LineNum) * lq::kFeedPerBand360)) {
    Fed += LineNum;
    LineNum = 0;
  }
  Sink.Put(kCarriageReturn);
  if (LineNum != 0) PrintNLine();
}

// The band goes twice over the same line, first the bytes at even positions,
// then those at odd positions, each pass padded with 00 to the full count.
void OutputState::WriteTwoPasses(bool staggered, const uint8_t* band, size_t count,
                                 size_t columns) {
  std::vector<uint8_t>& pass = PassScratch;
  pass.assign(count, 0);
  for (size_t j = 0; j < count; j += 2) pass[j] = band[j];
  Sink.Put(pass.data(), count);

  StartBand();
  Commands->WriteImageCommand(Sink, Plan.band, staggered, columns);
  std::fill(pass.begin(), pass.end(), 0);
  for (size_t j = 1; j < count; j += 2) pass[j] = band[j];
  Sink.Put(pass.data(), count);
}

// Emits pass buffer `row` (0 or 1) as one bit-image command, after any
// pending feed, then clears it. A blank band sends nothing but still feeds.
void OutputState::OutputRows(int row) {
  const size_t width = Plan.columns;
  uint8_t* band = LineBuffers[row];
  size_t count = DotBytes * width;

  const bool staggered = Plan.shingled && LineCount != 0;
  if (count > 0 && Plan.headTravel == HeadTravel::kInked) {
    WriteInkedBand(staggered, band, width);
  } else if (count > 0 && !AllZero(band, count)) {
    // Trim trailing blank columns in steps of 1/60 inch, counted from the
    // end of the band. Below 60 dpi there is no step: send the band whole.
    const size_t unit = DotBytes * Plan.trimColumns;
    if (unit > 0) {
      while (count >= unit && AllZero(band + count - unit, unit)) count -= unit;
    }
    const size_t columns = count / DotBytes;

    StartBand();
    Commands->WriteImageCommand(Sink, Plan.band, staggered, columns);
    if (Plan.twoPasses) {
      WriteTwoPasses(staggered, band, count, columns);
    } else {
      Sink.Put(band, count);
    }
  }

  // Paper moves whether or not the band carried dots.
  LineNum += Plan.feedUnits[row];

  Sink.Flush();
  memset(band, 0, DotBytes * width);
}

// Each pass prints its inked stretches only. In the two-pass mode each of
// the two passes over the line, its bytes at even and at odd positions, has
// stretches of its own; a pass without ink is left out.
void OutputState::WriteInkedBand(bool staggered, const uint8_t* band, size_t columns) {
  if (!Plan.twoPasses) {
    WriteInkedPass(staggered, band, columns);
    return;
  }
  const size_t count = DotBytes * columns;
  std::vector<uint8_t>& pass = PassScratch;
  for (size_t parity = 0; parity < 2; ++parity) {
    pass.assign(count, 0);
    for (size_t j = parity; j < count; j += 2) pass[j] = band[j];
    WriteInkedPass(staggered, pass.data(), columns);
  }
}

// One pass: the head goes back to the margin (after the pending feed), then
// is moved to each stretch and prints it.
void OutputState::WriteInkedPass(bool staggered, const uint8_t* pass, size_t columns) {
  const HeadMove move = Commands->Move();
  const unsigned dpi = Plan.band.x;
  const std::vector<PassStretch> stretches = InkedStretches(pass, columns, dpi, move);
  if (stretches.empty()) return;
  StartBand();
  for (const PassStretch& stretch : stretches) {
    if (stretch.first > 0) {
      Commands->WriteMove(Sink, move.Units(stretch.first, dpi), !MoveUnitSet);
      MoveUnitSet = true;
    }
    const size_t length = stretch.end - stretch.first;
    Commands->WriteImageCommand(Sink, Plan.band, staggered, length);
    Sink.Put(pass + stretch.first * DotBytes, length * DotBytes);
  }
}

// Sends the pending feed LineNum and sets it to 0.
void OutputState::PrintNLine() {
  Commands->WriteFeed(Sink, LineNum);
  Fed += LineNum;
  LineNum = 0;
  MoveUnitSet = false;
}

bool OutputState::EndPage() {
  if (!PageOpen) return Sink.ok();
  messages_.Debug("Shingling0:%d", Plan.shingled ? 1 : 0);

  // The last rows of a page rarely fill a whole 8-row group: finish it as
  // if the missing rows were blank, so every row of the page prints.
  if (DotBit != 128) CompleteGroup();

  // Flush what the pass buffers still hold in paper order: the buffer whose
  // band starts higher on the page goes first.
  if (Plan.shingled) {
    if (EvenOffset < OddOffset) {
      OutputRows(1);
      OutputRows(0);
    } else {
      OutputRows(0);
      OutputRows(1);
    }
  } else if (EvenOffset != 0) {
    OutputRows(0);
  }

  // Lines below the last band, then the form feed, which replaces whatever
  // feed is still pending.
  if (Lines != nullptr) Lines->PrintAbove(Sink, kPageEnd);
  Lines = nullptr;
  Sink.Put(kFormFeed);
  LineNum = 0;
  Sink.Flush();

  CompBuffer = {};
  LineBlock = {};
  LineBuffers = {nullptr, nullptr};
  PageOpen = false;
  return Sink.ok();
}

}  // namespace zova
