// The header of a binary netpbm image, read one way wherever the driver
// meets one: the page the filter spools and zova_ID reads, the image zova_ID
// writes and the filter reads back, the pages Ghostscript writes for the
// printer application, and the images of the tests and tools.
//
// "P4" (bitmap) or "P6" (RGB), then width, height and, for P6, maxval, in
// decimal, separated by whitespace, where '#' starts a comment that runs to
// the end of its line; one whitespace byte ends the header. The halftone
// image the filter reads back is held to the form zova_ID writes: "P4\n",
// then width and height on one line, no comments (kStrictPbm).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace zova {

enum class NetpbmForm {
  kPbm,        // P4
  kPpm,        // P6
  kStrictPbm,  // "P4\n", "W H\n": blanks between the numbers, no comments
};

struct NetpbmHeader {
  enum Status {
    kRead,
    kNotNetpbm,   // not the magic the caller wants
    kNoNumber,    // `field` is missing: no digits where it belongs
    kBadNumber,   // `field` runs into something that is not whitespace
    kUnreadable,  // the source failed
  };
  Status status = kNotNetpbm;
  const char* field = "";  // "width", "height" or "maxval", where it failed
  // Saturated at 2^40, far above every limit and far below overflow.
  uint64_t width = 0;
  uint64_t height = 0;
  uint64_t maxval = 1;
  // The numbers as written, cut after 24 digits, for messages.
  std::string widthText, heightText, maxvalText;
  size_t length = 0;  // bytes up to the first pixel byte
};

// Reads a header from `next`, which returns the next byte, -1 at the end of
// the input or -2 when reading fails. It reads exactly the header's bytes.
NetpbmHeader ReadNetpbmHeader(const std::function<int()>& next, NetpbmForm form);

}  // namespace zova
