// The external halftoning tool that turns a picture page's PPM into a PBM.
#pragma once

#include <functional>
#include <string>

namespace zova {

struct ToolResult {
  enum Status {
    kSucceeded,   // exited 0
    kFailed,      // exited with another status, in `code`
    kKilled,      // ended by the signal in `code`
    kNotStarted,  // could not be run; an error line says why
  };
  Status status = kNotStarted;
  int code = 0;
};

// Runs "TOOL <base> <dpi> <mode>", with <ydpi> after them unless it is 180
// (the rows' pitch the tool assumes), TOOL found through PATH unless it holds
// a '/', without a shell, with the caller's stdout and stderr and an empty
// stdin, and waits for it. Once `canceled` says so (asked at least every
// 100 ms, and at once when a signal interrupts the wait) the tool gets
// SIGTERM and stops at its next row. Whatever it returns, the image it leaves
// (or its absence) decides what is printed.
ToolResult RunHalftoneTool(const std::string& tool, const std::string& base, unsigned dpi, int mode,
                           const std::function<bool()>& canceled, unsigned ydpi = 180);

}  // namespace zova
