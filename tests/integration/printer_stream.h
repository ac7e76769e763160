// Reads a ZOVA-QRT printer stream back command by command, so that whole-job
// tests can check what a job sent to the printer: the preamble, each page's
// setup, its bands and form feed, and the job end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace zova::test {

enum class Dialect { kLq, kNative };

struct StreamPage {
  Dialect dialect = Dialect::kLq;
  // The page's commands before its first carriage return, band or feed.
  std::vector<uint8_t> setup;
  int imageCommands = 0;    // ESC * or ESC % 1
  std::set<uint8_t> modes;  // ESC * mode bytes
  long dots = 0;            // set bits in all image data
  bool formFeed = false;    // the page ended with 0C
};

struct PrinterStream {
  size_t preamble = 0;  // leading NUL bytes
  std::vector<StreamPage> pages;
  std::vector<uint8_t> jobEnd;  // bytes after the last form feed
  std::string error;            // empty when every byte was a known command
};

PrinterStream ParsePrinterStream(const std::vector<uint8_t>& bytes);

// "1b 40 0c" for test messages.
std::string Hex(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> FromHex(const std::string& hex);

}  // namespace zova::test
