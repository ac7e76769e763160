// A command set of the printer: how it sets up a page, announces a band of
// bit-image columns, moves the paper and ends a job, and the rules its bands
// follow. Each set lives in a file of its own; the band routines are the same
// for all of them.
#pragma once

#include <array>
#include <cstddef>

#include "dotmatrix/head_travel.h"
#include "dotmatrix/output_sink.h"
#include "dotmatrix/page_plan.h"
#include "messages/messages.h"

namespace zova {

class CommandSet {
 public:
  virtual ~CommandSet() = default;

  // Whether bands at this resolution print at all; refuses with an error
  // naming what the set cannot do.
  [[nodiscard]] virtual bool CanPrint(Resolution resolution, Messages& messages) const = 0;
  // Whether the page's bands are shingled: neighbouring columns split between
  // two passes that run 8 dot rows apart.
  virtual bool Shingles(Resolution setup) const = 0;
  // The commands that open a page, the printer reset included; the page is
  // `form_units` long in the unit FormUnitsPerInch gives for the plan.
  virtual void WritePageSetup(OutputSink& sink, const PagePlan& plan,
                              unsigned form_units) const = 0;
  // The page length's unit, to the inch: whole 1/6-inch lines, or the
  // finest the set has for an exact length.
  virtual unsigned FormUnitsPerInch(FormLength form) const = 0;
  // The set's horizontal move; unitsPerInch is 0 where it has none.
  virtual HeadMove Move() const = 0;
  // Puts the head `units` of the move right of the left margin. With
  // `set_unit` the move's unit is set first: after the page setup and after
  // every feed, which sets its own.
  virtual void WriteMove(OutputSink& sink, unsigned units, bool set_unit) const = 0;
  // The bit-image command for `columns` columns of a band. `staggered` is set
  // for shingled bands after the page's first 8-row group.
  virtual void WriteImageCommand(OutputSink& sink, Resolution band, bool staggered,
                                 size_t columns) const = 0;
  // Moves the paper down by `units` bands' worth of feed.
  virtual void WriteFeed(OutputSink& sink, unsigned units) const = 0;
  // What the printer needs after the job's last page.
  virtual void WriteJobEnd(OutputSink& sink) const = 0;

  // At 120 and 240 dpi the head cannot fire neighbouring dots in one pass:
  // each band goes twice over its line.
  static bool TwoPasses(Resolution band) { return band.x == 120 || band.x == 240; }
  // The feed after each pass buffer, in bands. The second buffer of a
  // shingled page runs 8 dot rows behind, so after it the paper catches up
  // with the next band: 2 units, or 5 on pages of 360 rows per inch.
  static std::array<unsigned, 2> FeedUnits(bool shingled, Resolution band) {
    if (!shingled) return {1, 1};
    return {1, band.y == 360 ? 5u : 2u};
  }
};

const CommandSet& CommandSetFor(CommandSetId id);

}  // namespace zova
