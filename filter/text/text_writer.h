// A text job's printer bytes: the LQ (ESC/P) job setup, and the pages, in
// the LQ set or the native set's plain text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dotmatrix/output_sink.h"
#include "text/character_tables.h"
#include "text/text_layout.h"

namespace zova::text {

enum class Quality { kDraft, kLetter };

// How the LQ set selects a pitch: ESC P, ESC M or ESC g, then condensed (SI)
// or not.
struct PitchSelect {
  uint8_t letter;
  bool condensed;
};
PitchSelect PitchSelectOf(Pitch pitch);

struct LqTextSetup {
  PageGeometry geometry;
  TextFrame frame;  // FrameOf(geometry)
  Quality quality = Quality::kLetter;
  const CharacterTable* table = &DefaultCharacterTable();
  bool okidataPrefix = false;  // ESC { A first, for a printer set to OKIDATA emulation
};

// Reset, quality, the exact page length, no perforation skip, pitch, line
// spacing, margins, the character table, plain ASCII and printable 128-159.
// The job ends with the LQ set's own job end, ESC @.
std::vector<uint8_t> LqTextJobStart(const LqTextSetup& setup);

// The native set, and codes 128-159 printable.
std::vector<uint8_t> NativeTextJobStart();
// The native set knows text, CR, LF and FF only; this is said once a job.
std::string NativeTextWarning();

enum class TextCommands { kLq, kNative };

// Where a page's text starts, in units: below the top of form, and right of
// the left margin's whole columns.
struct TextPlacement {
  unsigned top = 0;
  unsigned leftShift = 0;
};

// The paginator's lines and pages as bytes: lines end CR LF, a page CR FF
// (a page that fills the form exactly must not feed an extra line onto the
// next). Each page starts below its top (LQ: ESC ( v in units; native:
// ESC % 5 in 1/120 inch), each LQ line at its shift (ESC $); the native set
// has no horizontal move.
class TextPageWriter final : public LineReceiver {
 public:
  TextPageWriter(TextCommands commands, TextPlacement placement, TextEncoder& encoder,
                 OutputSink& sink);

  void Line(std::u32string_view text) override;
  void PageEnd() override;

 private:
  void StartPage();

  TextCommands commands_;
  TextPlacement placement_;
  TextEncoder* encoder_;
  OutputSink* sink_;
  bool pageStarted_ = false;
  bool lineOpen_ = false;
  std::vector<uint8_t> bytes_;
};

}  // namespace zova::text
