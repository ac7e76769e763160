// The printer's native command set.
#include "dotmatrix/command_set.h"
#include "dotmatrix/commands.h"

namespace zova {
namespace {

class NativeCommandSet final : public CommandSet {
 public:
  // A native bit image carries no density: any resolution prints.
  bool CanPrint(Resolution, Messages&) const override { return true; }

  bool Shingles(Resolution) const override { return false; }

  void WritePageSetup(OutputSink& sink, const PagePlan&, unsigned form_units) const override {
    sink.Put({kEsc, native::kEnterNative});
    sink.Put({kEsc, native::kPercent, native::kGraphics});
    sink.Put({kEsc, native::kUpperCodes});
    // Page length in lines as two raw decimal digits, tens first.
    sink.Put({kEsc, native::kPageLength, static_cast<uint8_t>(form_units / 10),
              static_cast<uint8_t>(form_units % 10)});
  }

  // ESC F counts whole lines, however exact the length is to be.
  unsigned FormUnitsPerInch(FormLength) const override { return 6; }

  // No horizontal move is known in the native set: a pass starts at the
  // left margin.
  HeadMove Move() const override { return {}; }
  void WriteMove(OutputSink&, unsigned, bool) const override {}

  void WriteImageCommand(OutputSink& sink, Resolution, bool, size_t columns) const override {
    sink.Put({kEsc, native::kPercent, native::kBitImage,
              static_cast<uint8_t>((columns >> 8) & 0xFF), static_cast<uint8_t>(columns & 0xFF)});
  }

  void WriteFeed(OutputSink& sink, unsigned units) const override {
    unsigned t = units * native::kFeedPerBand;
    while (t > native::kMaxFeed) {
      sink.Put({kEsc, native::kPercent, native::kFeed, native::kMaxFeed});
      t -= native::kMaxFeed;
    }
    sink.Put({kEsc, native::kPercent, native::kFeed, static_cast<uint8_t>(t)});
  }

  // The native set has no job end.
  void WriteJobEnd(OutputSink&) const override {}
};

}  // namespace

const CommandSet& NativeCommands() {
  static const NativeCommandSet commands;
  return commands;
}

}  // namespace zova
