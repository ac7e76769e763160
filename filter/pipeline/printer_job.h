// What every page of a job works with, whoever supplies the pages: the CUPS
// filter, the printer application or a fuzzer.
#pragma once

#include <string>

#include "dotmatrix/dotmatrix.h"
#include "dotmatrix/printer_models.h"
#include "messages/messages.h"
#include "pipeline/cancel.h"
#include "pipeline/halftone_tool.h"
#include "pipeline/page_offsets.h"
#include "pipeline/print_as.h"
#include "pipeline/stream_choices.h"

namespace zova {

struct JobSettings {
  const PrinterModel* model = &kPrinterModels[0];
  PrintAs printAs = PrintAs::kAuto;
  PageOffsets offsets;
  StreamChoices stream;
  // The page's spool files: <spoolDirectory>/nfet<jobId>_<page>.ppm, ...
  std::string spoolDirectory = "/tmp";
  std::string jobId;
  // Screens picture pages.
  Halftoner halftone;
};

struct PrinterJob {
  JobSettings settings;
  OutputState& out;  // carries the printer stream
  Messages& messages;
  CancelToken cancel;  // asked at every page and row
};

}  // namespace zova
