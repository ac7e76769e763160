// Halftoning a picture page: BASE.ppm screened into BASE.pbm, by the
// external tool zova_ID, or in process where the tool's library is linked.
#pragma once

#include <functional>
#include <string>

#include "dotmatrix/page_plan.h"
#include "messages/messages.h"
#include "pipeline/cancel.h"

namespace zova {

struct ToolResult {
  enum Status {
    kSucceeded,   // exited 0
    kFailed,      // exited with another status, in `code`
    kKilled,      // ended by the signal in `code`
    kNotStarted,  // could not be run; an error says why
  };
  Status status = kNotStarted;
  int code = 0;
};

// How a job has its pictures screened, as the page's plan says. A tool that
// could not be started fails the page; otherwise the image it leaves (or
// its absence) decides what is printed.
using Halftoner = std::function<ToolResult(const std::string& base, const PictureSource& picture)>;

struct HalftoneTool {
  // Found through PATH unless the name holds a '/'.
  std::string program = "zova_ID";
  // The tool's standard output: the filter's own, which carries the printer
  // data, as the tool has always been run (it writes nothing there), or
  // kDiscardOutput.
  int stdoutFd = 1;
  // Its messages: the filter's standard error, or, when false, lines passed
  // on as messages of the job.
  bool sharesStderr = true;
};

// Runs "TOOL <base> <dpi> <mode> [<row pitch>]" without a shell, with an
// empty stdin, and waits for it. Once `cancel` says so (asked every 100 ms)
// the tool gets SIGTERM and stops at its next row.
ToolResult RunHalftoneTool(const HalftoneTool& tool, const std::string& base,
                           const PictureSource& picture, const CancelToken& cancel,
                           Messages& messages);

// The tool as a job's halftoner; `cancel` and `messages` outlive it.
Halftoner ToolHalftoner(HalftoneTool tool, const CancelToken& cancel, Messages& messages);

}  // namespace zova
