// A command set of the printer: how it sets up a page, announces a band of
// bit-image columns, moves the paper and ends a job. Each set lives in a file
// of its own; the band routines are the same for all of them.
#pragma once

#include <cstddef>

#include "dotmatrix/output_sink.h"
#include "dotmatrix/page_plan.h"

namespace zova {

class CommandSet {
 public:
  virtual ~CommandSet() = default;

  // Whether bands at this resolution print at all; refuses with an "ERROR: "
  // line naming what the set cannot do.
  [[nodiscard]] virtual bool CanPrint(Resolution resolution) const = 0;
  // Whether the page's bands are shingled: neighbouring columns split between
  // two passes that run 8 dot rows apart.
  virtual bool Shingles(Resolution setup) const = 0;
  // The commands that open a page, the printer reset included.
  virtual void WritePageSetup(OutputSink& sink, const PagePlan& plan) const = 0;
  // The bit-image command for `columns` columns of a band. `staggered` is set
  // for shingled bands after the page's first 8-row group.
  virtual void WriteImageCommand(OutputSink& sink, Resolution band, bool staggered,
                                 size_t columns) const = 0;
  // Moves the paper down by `units` bands' worth of feed.
  virtual void WriteFeed(OutputSink& sink, unsigned units) const = 0;
  // What the printer needs after the job's last page.
  virtual void WriteJobEnd(OutputSink& sink) const = 0;
};

const CommandSet& CommandSetFor(CommandSetId id);

}  // namespace zova
