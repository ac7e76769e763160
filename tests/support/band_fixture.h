// A started page on a fresh output state writing to memory, with helpers to
// feed packed 1-bit rows, or a whole band given column by column.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "cups/stderr_messages.h"
#include "dotmatrix/dotmatrix.h"
#include "support/memory_sink.h"
#include "support/page_plan.h"

namespace zova::testing {

class BandTest : public ::testing::Test {
 protected:
  // Starts a page and drops its setup bytes, so that expectations see bands.
  void StartPage(const PagePlan& plan) {
    ASSERT_TRUE(out.StartPage(plan));
    sink.Take();
  }
  void StartPage(const char* type, unsigned r0, unsigned r1, unsigned width) {
    StartPage(MakePlan(type, r0, r1, width));
  }

  // Feeds one row: 'X' prints a dot, anything else does not.
  void Row(const std::string& dots) {
    std::vector<uint8_t> row((dots.size() + 7) / 8, 0);
    for (size_t i = 0; i < dots.size(); ++i) {
      if (dots[i] == 'X') row[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    }
    ASSERT_TRUE(out.OutputLine(row));
  }

  void Rows(int count, const std::string& dots) {
    for (int i = 0; i < count; ++i) Row(dots);
  }

  // Feeds the 24 rows of one band whose columns are given as the printer
  // receives them: three bytes, top first, the top dot in bit 7.
  void Band(const std::vector<std::array<uint8_t, 3>>& columns) {
    for (int pin = 0; pin < 24; ++pin) {
      std::string row(columns.size(), '.');
      for (size_t c = 0; c < columns.size(); ++c) {
        if (columns[c][pin / 8] & (0x80 >> (pin % 8))) row[c] = 'X';
      }
      Row(row);
    }
  }

  std::string Written() { return Hex(sink.Take()); }

  MemorySink sink;
  StderrMessages messages;  // on the standard error the tests capture
  OutputState out{sink.file(), messages};
};

// The LQ feed of `units` pending lines: ESC ( U to 1/180 inch, ESC ( v by
// 8/180 inch a unit, ESC ( U back.
inline std::string LqFeed(unsigned units) {
  const unsigned v = units * 8;
  char buf[96];
  snprintf(buf, sizeof buf, "1B 28 55 01 00 14 1B 28 76 02 00 %02X %02X 1B 28 55 01 00 40", v % 256,
           v / 256);
  return buf;
}

}  // namespace zova::testing
