// ZovaTextAs=Graphics: a text job printed the way a queue without
// texttozova prints it, through CUPS's texttopdf, pdftopdf and gstoraster
// into the driver's raster route.
#pragma once

#include "cups/filter_main.h"
#include "pipeline/job_scope.h"
#include "text/text_job.h"

namespace zova {

// The chain's programs, in order, as cupsd would run them for text/plain.
inline constexpr const char* kTextToRasterChain[] = {"texttopdf", "pdftopdf", "gstoraster"};

// Runs the chain with the arguments and environment cupsd gives filters
// (the file, when given, goes to the first program) and prints its raster
// through `job`. A program that cannot run or fails fails the job, its
// status said; a cancel stops them all.
void PrintTextAsGraphics(JobScope& job, const FilterJob& filter, const text::TextOptions& text);

}  // namespace zova
