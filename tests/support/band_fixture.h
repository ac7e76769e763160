// A started page on a fresh output state writing to memory, with helpers to
// feed packed 1-bit rows.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dotmatrix/dotmatrix.h"
#include "support/memory_sink.h"
#include "support/page_plan.h"

namespace zova::testing {

class BandTest : public ::testing::Test {
 protected:
  BandTest() { out.Sink = OutputSink(sink.file()); }

  // Starts a page and drops its setup bytes, so that expectations see bands.
  void StartPage(const char* type, unsigned r0, unsigned r1, unsigned width) {
    ASSERT_TRUE(zova::StartPage(out, MakePlan(type, r0, r1, width)));
    sink.Take();
  }

  // Feeds one row: 'X' prints a dot, anything else does not.
  void Row(const std::string& dots) {
    std::vector<uint8_t> row((dots.size() + 7) / 8, 0);
    for (size_t i = 0; i < dots.size(); ++i) {
      if (dots[i] == 'X') row[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    }
    ASSERT_TRUE(OutputLine(out, row));
  }

  void Rows(int count, const std::string& dots) {
    for (int i = 0; i < count; ++i) Row(dots);
  }

  // Sets the three bytes of one column of a pass buffer.
  void SetColumn(int buffer, size_t column, uint8_t top, uint8_t middle, uint8_t bottom) {
    uint8_t* col = out.LineBuffers[buffer] + column * 3;
    col[0] = top;
    col[1] = middle;
    col[2] = bottom;
  }

  std::string Written() { return Hex(sink.Take()); }

  MemorySink sink;
  OutputState out;
};

// The LQ feed of `units` pending lines, as PrintNLine sends it.
inline std::string LqFeed(unsigned units) {
  const unsigned v = units * 8;
  char buf[96];
  snprintf(buf, sizeof buf, "1B 28 55 01 00 14 1B 28 76 02 00 %02X %02X 1B 28 55 01 00 40", v % 256,
           v / 256);
  return buf;
}

}  // namespace zova::testing
