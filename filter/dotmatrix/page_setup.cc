// Job preamble, page start and job end.
#include <new>

#include "dotmatrix/dotmatrix.h"

namespace zova {
namespace {

// Sizes a page buffer, zeroed; false after the message when memory is short.
[[nodiscard]] bool Allocate(std::vector<uint8_t>& buffer, size_t size, Messages& messages,
                            const char* message) {
  try {
    buffer.assign(size, 0);
    return true;
  } catch (const std::bad_alloc&) {
    messages.Error("%s", message);
    return false;
  }
}

}  // namespace

void OutputState::Setup() {
  static const std::vector<uint8_t> preamble(kPreambleLength, kNul);
  Sink.Put(preamble.data(), preamble.size());
}

bool OutputState::StartPage(const PagePlan& plan, PageLines* lines) {
  // The buffers come first: a page that does not fit writes nothing.
  const size_t columns = plan.columns;
  if (!Allocate(CompBuffer, columns, messages_, "Unable to allocate memory CompBuffer") ||
      !Allocate(LineBlock, DotBytes * (plan.shingled ? 2 * columns : columns), messages_,
                "Unable to allocate memory")) {
    CompBuffer = {};
    LineBlock = {};
    return false;
  }
  LineBuffers[0] = LineBlock.data();
  LineBuffers[1] = LineBlock.data() + DotBytes * columns;

  Plan = plan;
  Commands = &CommandSetFor(plan.commandSet);
  SimulationType = plan.commandSet;
  PageOpen = true;
  Commands->WritePageSetup(Sink, plan);
  DotBit = 128;
  LineCount = 0;
  EvenOffset = 0;
  OddOffset = 0;
  LineNum = 0;
  // Only the LQ set has the moves that place a line.
  Lines = plan.commandSet == CommandSetId::kLq ? lines : nullptr;
  Fed = 0;
  return true;
}

bool OutputState::Shutdown() {
  CommandSetFor(SimulationType).WriteJobEnd(Sink);
  Sink.Flush();
  return Sink.ok();
}

}  // namespace zova
