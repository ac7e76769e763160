// Job preamble, page start and job end.
#include <cstdio>
#include <new>

#include "dotmatrix/command_set.h"
#include "dotmatrix/commands.h"
#include "dotmatrix/dotmatrix.h"

namespace zova {
namespace {

// Sizes a page buffer, zeroed; false after the message when memory is short.
[[nodiscard]] bool Allocate(std::vector<uint8_t>& buffer, size_t size, const char* message) {
  try {
    buffer.assign(size, 0);
    return true;
  } catch (const std::bad_alloc&) {
    fputs(message, stderr);
    return false;
  }
}

}  // namespace

void Setup(OutputState& out) {
  static const std::vector<uint8_t> preamble(kPreambleLength, kNul);
  out.Sink.Put(preamble.data(), preamble.size());
}

bool StartPage(OutputState& out, const PagePlan& plan) {
  const CommandSet& commands = CommandSetFor(plan.commandSet);
  const bool shingling = commands.Shingles(plan.setup);

  // The buffers come first: a page that does not fit writes nothing.
  const size_t columns = plan.columns;
  const size_t dot_bytes = kBytesPerColumn;
  if (!Allocate(out.CompBuffer, columns, "ERROR: Unable to allocate memory CompBuffer\n") ||
      !Allocate(out.LineBlock, dot_bytes * (shingling ? 2 * columns : columns),
                "ERROR: Unable to allocate memory\n")) {
    out.CompBuffer = {};
    out.LineBlock = {};
    return false;
  }
  out.LineBuffers[0] = out.LineBlock.data();
  out.LineBuffers[1] = out.LineBlock.data() + dot_bytes * columns;

  out.Plan = plan;
  out.SimulationType = plan.commandSet;
  commands.WritePageSetup(out.Sink, plan);
  out.Shingling = shingling;
  out.DotBytes = static_cast<int>(dot_bytes);
  out.DotColumns = static_cast<int>(plan.trimColumns);
  out.DotBit = 128;
  out.LineCount = 0;
  out.EvenOffset = 0;
  out.OddOffset = 0;
  out.LineNum = 0;
  return true;
}

bool Shutdown(OutputState& out) {
  CommandSetFor(out.SimulationType).WriteJobEnd(out.Sink);
  out.Sink.Flush();
  return out.Sink.ok();
}

}  // namespace zova
