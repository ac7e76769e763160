// The page plan, decided once per page: what the page is printed as (text,
// picture or both), where its rows come from, through which screen, at which
// resolution, and how the printer's bands go (shingled, in two passes, with
// which feed). The rest of the pipeline carries the plan out.
#pragma once

#include "dotmatrix/page_plan.h"
#include "dotmatrix/printer_models.h"
#include "pipeline/page_offsets.h"
#include "pipeline/page_request.h"
#include "pipeline/region_map.h"
#include "pipeline/stream_choices.h"

namespace zova {

// What the spool pass gathers besides the page, so that the page can be
// planned once it is spooled.
struct SpoolNeeds {
  bool regions = false;      // the page counted region by region
  unsigned regionScale = 1;  // raster pixels per printed dot, each way
  bool averaged = false;     // a copy averaged 2x2, for a mixed page's pictures
};
SpoolNeeds SpoolNeedsFor(const PageRequest& request);

// The plan of a spooled page, from what the job asks (the request, its
// print-as choice and its offsets) and what the page holds: its dark ratio,
// and its regions when it was counted region by region.
// Nothing later changes it: an image the tool delivers at another size is
// clipped or ends early, as the plan's rows are read back.
PagePlan PlanPage(const PageRequest& request, double dPicNo, const RegionMap& regions,
                  const PrinterModel& model, const PageOffsets& offsets = {},
                  const StreamChoices& stream = {});

}  // namespace zova
