// Job preamble, page start and job end.
#include <algorithm>
#include <cmath>
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
  Commands->WritePageSetup(Sink, plan, FormUnits(plan));
  DotBit = 128;
  LineCount = 0;
  EvenOffset = 0;
  OddOffset = 0;
  LineNum = 0;
  MoveUnitSet = false;
  // Only the LQ set has the moves that place a line.
  Lines = plan.commandSet == CommandSetId::kLq ? lines : nullptr;
  Fed = 0;
  return true;
}

// The page's length in the unit its command set takes. An exact length is
// rounded where the job's forms end, not page by page, so that a run of
// continuous forms ends where its media do, however many there are.
unsigned OutputState::FormUnits(const PagePlan& plan) {
  if (plan.formLength != FormLength::kExact) return static_cast<unsigned>(plan.pageLines);
  const double per_inch = Commands->FormUnitsPerInch(FormLength::kExact);
  FormsExact += plan.formInches > 0 ? plan.formInches : plan.pageLines / 6.0;
  const long units = std::max(1L, std::lround((FormsExact - FormsSent) * per_inch));
  FormsSent += static_cast<double>(units) / per_inch;
  return static_cast<unsigned>(units);
}

bool OutputState::Shutdown() {
  CommandSetFor(SimulationType).WriteJobEnd(Sink);
  Sink.Flush();
  return Sink.ok();
}

}  // namespace zova
