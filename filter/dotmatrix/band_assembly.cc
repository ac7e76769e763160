// Gathers packed 1-bit rows into 24-dot column bands, shingled or not.
#include "dotmatrix/band_assembly.h"

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

bool OutputLine(OutputState& out, std::span<const uint8_t> packed) {
  // A short row is blank beyond its end.
  const size_t columns = std::min<size_t>(out.Plan.columns, packed.size() * 8);
  const uint8_t* row = packed.data();
  const uint8_t bit = static_cast<uint8_t>(out.DotBit);
  uint8_t* comp = out.CompBuffer.data();

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

  if (out.DotBit > 1) {
    out.DotBit >>= 1;
  } else {
    CompleteGroup(out);
  }
  return out.Sink.ok();
}

void CompleteGroup(OutputState& out) {
  const size_t columns = out.Plan.columns;
  const size_t dot_bytes = static_cast<size_t>(out.DotBytes);
  const uint8_t* comp = out.CompBuffer.data();
  const bool staggered = out.Shingling && out.LineCount != 0;

  if (staggered) {
    // Neighbouring columns print in different passes. Which buffer takes the
    // even columns alternates from group to group, so each buffer ends up
    // with every column once per band.
    const size_t odd_group = static_cast<size_t>(out.LineCount) & 1;
    uint8_t* even = out.LineBuffers[0] + out.EvenOffset;
    uint8_t* odd = out.LineBuffers[1] + out.OddOffset;
    for (size_t i = 0; i < columns; ++i) {
      if (((i & 1) ^ odd_group) == 0) {
        even[i * dot_bytes] = comp[i];
      } else {
        odd[i * dot_bytes] = comp[i];
      }
    }
  } else {
    uint8_t* even = out.LineBuffers[0] + out.EvenOffset;
    for (size_t i = 0; i < columns; ++i) even[i * dot_bytes] = comp[i];
  }

  // Pass buffer 1 runs one group behind buffer 0, so it fills, and goes out,
  // one group later.
  if (staggered) {
    ++out.EvenOffset;
    ++out.OddOffset;
    if (out.EvenOffset == out.DotBytes) {
      out.EvenOffset = 0;
      OutputRows(out, 0);
    }
    if (out.OddOffset == out.DotBytes) {
      out.OddOffset = 0;
      OutputRows(out, 1);
    }
  } else if (out.EvenOffset + 1 == out.DotBytes) {
    out.EvenOffset = 0;
    OutputRows(out, 0);
  } else {
    ++out.EvenOffset;
  }

  out.DotBit = 128;
  ++out.LineCount;
  memset(out.CompBuffer.data(), 0, columns);
}

}  // namespace zova
