#include "pipeline/page_planner.h"

#include "dotmatrix/command_set.h"
#include "pipeline/page_classification.h"

namespace zova {
namespace {

// 360x360 text prints at 180x180, two rows and two columns to a dot: the
// head's dots are too wide for finer text to gain anything.
bool PrintsTextAt180(Resolution resolution) { return resolution == Resolution{360, 360}; }

// What the page is printed as: its own content decides under Auto.
PageClass ChoosePageClass(PrintAs print_as, double dPicNo, const RegionMap& regions) {
  switch (print_as) {
    case PrintAs::kAuto:
      return ClassifyPage(dPicNo);
    case PrintAs::kText:
      return PageClass::kText;
    case PrintAs::kPicture:
      return PageClass::kPicture;
    case PrintAs::kMixed:
      // A page of text alone prints as a text page, a page without text as
      // a picture page.
      if (!regions.anyPicture) return PageClass::kText;
      if (!regions.anyText) return PageClass::kPicture;
      break;
  }
  return PageClass::kMixed;
}

}  // namespace

SpoolNeeds SpoolNeedsFor(const PageRequest& request) {
  SpoolNeeds needs;
  if (request.printAs != PrintAs::kMixed) return needs;
  needs.regions = true;
  const bool at180 = PrintsTextAt180(request.resolution);
  needs.regionScale = at180 ? 2 : 1;
  needs.averaged = at180;
  return needs;
}

PagePlan PlanPage(const PageRequest& request, double dPicNo, const RegionMap& regions,
                  const PrinterModel& model, const PageOffsets& offsets,
                  const StreamChoices& stream) {
  PagePlan plan;
  plan.pageClass = ChoosePageClass(request.printAs, dPicNo, regions);
  // A picture's screen follows its dark ratio, whatever made it a picture;
  // a mixed page's, that of its picture regions.
  const DitherMode screen =
      ScreenFor(plan.pageClass == PageClass::kMixed ? DarkRatio(regions.pictureCount) : dPicNo);
  plan.reduced = plan.pageClass != PageClass::kPicture && PrintsTextAt180(request.resolution);
  plan.averaged = plan.reduced && plan.pageClass == PageClass::kMixed;

  const CommandSet& commands = CommandSetFor(request.commandSet);
  plan.commandSet = request.commandSet;
  plan.okidataPrefix = model.okidataPrefix;
  // Page length in 1/6-inch lines; the length is in points.
  plan.pageLines = static_cast<int>(request.pageLength / 12.0 + 0.5);
  plan.formLength = stream.formLength;
  plan.formInches = request.mediaLength;
  plan.headTravel = stream.headTravel;
  plan.setup = request.resolution;
  plan.band = plan.reduced ? Resolution{180, 180} : request.resolution;
  plan.columns = plan.reduced ? (request.width + 1) / 2 : request.width;
  plan.rows = plan.reduced ? (request.height + 1) / 2 : request.height;
  plan.trimColumns = request.resolution.x / 60;
  plan.shingled = commands.Shingles(plan.setup);
  plan.twoPasses = CommandSet::TwoPasses(plan.band);
  plan.feedUnits = CommandSet::FeedUnits(plan.shingled, plan.band);
  // To the nearest printed dot, whatever the page is printed as.
  plan.shiftRows = OffsetDots(offsets.top, plan.band.y);
  plan.shiftColumns = OffsetDots(offsets.left, plan.band.x);

  if (plan.pageClass != PageClass::kPicture) {
    plan.text = {request.width, request.height, request.bytesPerLine};
  }
  if (plan.pageClass != PageClass::kText) {
    // A reduced mixed page has its pictures screened at 180 dpi, from the
    // page averaged 2x2; either way the image is a printed dot per pixel.
    plan.picture.dpi = plan.averaged ? Resolution{180, 180} : request.resolution;
    // The tool takes rows 1/180 inch apart unless told otherwise.
    plan.picture.rowPitch = plan.picture.dpi.y == 360 ? 360 : 0;
    plan.picture.screen = screen;
    plan.picture.columns = plan.columns;
    plan.picture.rows = plan.rows;
  }
  return plan;
}

}  // namespace zova
