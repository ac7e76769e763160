// What every page of a job shares, whoever drives the pages: the CUPS filter
// or the printer application.
#pragma once

#include <functional>
#include <string>

#include "dotmatrix/dotmatrix.h"
#include "dotmatrix/printer_models.h"
#include "job/halftone_tool.h"

namespace zova {

struct PrinterJob {
  OutputState out;  // out.Sink carries the printer stream
  const PrinterModel* model = &kPrinterModels[0];
  std::string jobId;  // names the page's spool files
  // The halftoning tool: found through PATH unless the name holds a '/'.
  std::string halftoneTool = "zova_ID";
  // Screens BASE.ppm into BASE.pbm in place of the tool, when set: the
  // halftoner's library called in-process.
  std::function<ToolResult(const std::string& base, unsigned dpi, int mode)> halftone;
  // Asked at every row: a cancelled page stops and is ended.
  std::function<bool()> canceled = [] { return false; };
};

}  // namespace zova
