// Gathers packed 1-bit rows into 24-dot column bands, shingled or not.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "dotmatrix/dotmatrix.h"

namespace zova {
namespace {

// For each byte of a packed row, its eight pixels as eight bytes of 00 or FF
// in memory order, so a row byte reaches its eight columns in one step.
struct SpreadTable {
  SpreadTable() {
    for (unsigned pixels = 0; pixels < 256; ++pixels) {
      uint8_t bytes[8];
      for (unsigned k = 0; k < 8; ++k) bytes[k] = (pixels & (0x80u >> k)) ? 0xFF : 0x00;
      memcpy(&spread[pixels], bytes, 8);
    }
  }
  uint64_t spread[256];
};

}  // namespace

bool OutputState::OutputLine(std::span<const uint8_t> packed) {
  if (!PageOpen) return Sink.ok();
  // A short row is blank beyond its end.
  const size_t columns = std::min<size_t>(Plan.columns, packed.size() * 8);
  const uint8_t* row = packed.data();
  const uint8_t bit = static_cast<uint8_t>(DotBit);
  uint8_t* comp = CompBuffer.data();

  // Text rows are mostly white: skip whole zero bytes.
  static const SpreadTable table;
  const uint64_t bits = bit * 0x0101010101010101ull;
  const size_t full_bytes = columns / 8;
  for (size_t byte = 0; byte < full_bytes; ++byte) {
    const uint8_t pixels = row[byte];
    if (pixels == 0) continue;
    uint64_t column;
    memcpy(&column, comp + byte * 8, 8);
    column |= table.spread[pixels] & bits;
    memcpy(comp + byte * 8, &column, 8);
  }
  for (size_t i = full_bytes * 8; i < columns; ++i) {
    if (row[i / 8] & (0x80 >> (i % 8))) comp[i] |= bit;
  }

  if (DotBit > 1) {
    DotBit >>= 1;
  } else {
    CompleteGroup();
  }
  return Sink.ok();
}

// Moves the 8-row group collected in CompBuffer into the pass buffers and
// emits a pass buffer that it completes. OutputLine calls it on every eighth
// row; EndPage calls it for a last group that the page leaves unfinished.
void OutputState::CompleteGroup() {
  const size_t columns = Plan.columns;
  const uint8_t* comp = CompBuffer.data();
  const bool staggered = Plan.shingled && LineCount != 0;

  if (staggered) {
    // Neighbouring columns print in different passes. Which buffer takes the
    // even columns alternates from group to group, so each buffer ends up
    // with every column once per band.
    const size_t odd_group = static_cast<size_t>(LineCount) & 1;
    uint8_t* even = LineBuffers[0] + EvenOffset;
    uint8_t* odd = LineBuffers[1] + OddOffset;
    for (size_t i = 0; i < columns; ++i) {
      if (((i & 1) ^ odd_group) == 0) {
        even[i * DotBytes] = comp[i];
      } else {
        odd[i * DotBytes] = comp[i];
      }
    }
  } else {
    uint8_t* even = LineBuffers[0] + EvenOffset;
    for (size_t i = 0; i < columns; ++i) even[i * DotBytes] = comp[i];
  }

  // Pass buffer 1 runs one group behind buffer 0, so it fills, and goes out,
  // one group later.
  if (staggered) {
    ++EvenOffset;
    ++OddOffset;
    if (EvenOffset == DotBytes) {
      EvenOffset = 0;
      OutputRows(0);
    }
    if (OddOffset == DotBytes) {
      OddOffset = 0;
      OutputRows(1);
    }
  } else if (EvenOffset + 1 == DotBytes) {
    EvenOffset = 0;
    OutputRows(0);
  } else {
    ++EvenOffset;
  }

  DotBit = 128;
  ++LineCount;
  memset(CompBuffer.data(), 0, columns);
}

}  // namespace zova
