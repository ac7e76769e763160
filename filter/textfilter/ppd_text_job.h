// A text job's settings from the queue's PPD and the job's options, as CUPS
// hands them to texttozova.
#pragma once

#include <cups/ppd.h>

#include "cups/filter_main.h"
#include "text/text_job.h"

namespace zova {

// The text options: the job's, else the PPD's defaults, else ours.
text::TextOptions PpdTextOptions(const FilterJob& filter);
// The job's command set: its ZovaCommandSet, else the queue's.
CommandSetId PpdCommandSet(const FilterJob& filter);

// The options, the marked page size, the command set, the model's prefix,
// the offsets, copies and page ranges. A bad page-ranges is warned of and
// every page printed.
text::TextJob PpdTextJob(const FilterJob& filter);

}  // namespace zova
