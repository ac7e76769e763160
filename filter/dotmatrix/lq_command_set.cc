// The LQ simulation: ESC/P-style commands.
#include "dotmatrix/command_set.h"
#include "dotmatrix/commands.h"

namespace zova {
namespace {

class LqCommandSet final : public CommandSet {
 public:
  bool CanPrint(Resolution resolution, Messages& messages) const override {
    // Without a mode byte the printer would read the column count as the mode.
    if (LqHasModeFor(resolution.x)) return true;
    messages.Error(
        "The LQ command set cannot print at %u dpi horizontally (60, 120, 180, 240 or 360 dpi)",
        resolution.x);
    return false;
  }

  bool Shingles(Resolution setup) const override { return setup.x == 180 || setup.x == 360; }

  void WritePageSetup(OutputSink& sink, const PagePlan& plan, unsigned form_units) const override {
    const unsigned r0 = plan.setup.x;
    // A printer switched to OKIDATA emulation needs ESC { A to enter the LQ set.
    if (plan.okidataPrefix) sink.Put({kEsc, lq::kEnterLq, lq::kEnterLqArgument});
    sink.Put({kEsc, lq::kReset});
    sink.Put({kEsc, lq::kUpperCodes});

    // The high-density modes print unidirectionally so the passes line up.
    const uint8_t fine = (r0 == 360 || r0 == 240) ? '1' : '0';
    sink.Put({kFs, lq::kDensity, fine});
    sink.Put({kEsc, lq::kUnidirectional, fine});

    if (plan.formLength == FormLength::kExact) {
      // The page length in 1/360 inch, as the text route sets it.
      sink.Put({kEsc, lq::kExtended, lq::kUnit, 0x01, 0x00, lq::kUnit360});
      sink.Put({kEsc, lq::kExtended, lq::kFormLength, 0x02, 0x00,
                static_cast<uint8_t>(form_units & 0xFF),
                static_cast<uint8_t>((form_units >> 8) & 0xFF)});
    } else {
      // 1/6-inch lines, page length in lines.
      sink.Put({kEsc, lq::kSixthInchLines, kEsc, lq::kPageLength,
                static_cast<uint8_t>(form_units % 256)});
    }

    // Line spacing of one band: 24/180 inch, or 8 dot rows where the plan
    // shingles the bands (in 1/360 inch on pages of 360 rows per inch).
    if (!plan.shingled) {
      sink.Put({kEsc, lq::kSpacing180, 0x18});
    } else if (plan.setup.y == 180) {
      sink.Put({kEsc, lq::kSpacing180, 0x08});
    } else {
      sink.Put({kEsc, lq::kSpacing360, 0x08});
    }
  }

  unsigned FormUnitsPerInch(FormLength form) const override {
    return form == FormLength::kExact ? lq::kUnitsPerInch360 : 6;
  }

  // ESC $ in 1/360 inch: every column at 60, 120, 180 and 360 dpi, every
  // other one at 240.
  HeadMove Move() const override { return {lq::kUnitsPerInch360, lq::kMaxAbsoluteX}; }

  void WriteMove(OutputSink& sink, unsigned units, bool set_unit) const override {
    if (set_unit) sink.Put({kEsc, lq::kExtended, lq::kUnit, 0x01, 0x00, lq::kUnit360});
    sink.Put({kEsc, lq::kAbsoluteX, static_cast<uint8_t>(units & 0xFF),
              static_cast<uint8_t>((units >> 8) & 0xFF)});
  }

  void WriteImageCommand(OutputSink& sink, Resolution band, bool staggered,
                         size_t columns) const override {
    // CanPrint has refused every resolution without a mode.
    const uint8_t mode = LqModeByte(band.x, band.y, staggered).value_or(0);
    sink.Put({kEsc, lq::kBitImage, mode, static_cast<uint8_t>(columns & 0xFF),
              static_cast<uint8_t>((columns >> 8) & 0xFF)});
  }

  void WriteFeed(OutputSink& sink, unsigned units) const override {
    // Relative move in 1/180 inch (ESC ( U 20/3600), then back to the
    // printer's 64/3600 unit.
    const unsigned v = units * lq::kFeedPerBand;
    sink.Put({kEsc, lq::kExtended, lq::kUnit, 0x01, 0x00, lq::kFeedUnit});
    sink.Put({kEsc, lq::kExtended, lq::kFeed, 0x02, 0x00, static_cast<uint8_t>(v % 256),
              static_cast<uint8_t>((v / 256) & 0xFF)});
    sink.Put({kEsc, lq::kExtended, lq::kUnit, 0x01, 0x00, lq::kDefaultUnit});
  }

  void WriteJobEnd(OutputSink& sink) const override { sink.Put({kEsc, lq::kReset}); }
};

}  // namespace

const CommandSet& LqCommands() {
  static const LqCommandSet commands;
  return commands;
}

}  // namespace zova
