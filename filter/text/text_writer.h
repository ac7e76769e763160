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

struct LqTextSetup {
  PageGeometry geometry;
  TextFrame frame;  // FrameOf(geometry)
  Quality quality = Quality::kLetter;
  const CharacterTable* table = &DefaultCharacterTable();
  bool okidataPrefix = false;  // ESC { A first, for a printer set to OKIDATA emulation
};

// Reset, quality, the exact page length, no perforation skip, pitch, line
// spacing, margins, the character table, plain ASCII and printable 128-159.
std::vector<uint8_t> LqTextJobStart(const LqTextSetup& setup);
// ESC @: the printer's own settings again for the next job.
std::vector<uint8_t> LqTextJobEnd();

// The native set knows text, CR, LF and FF only; this is said once a job.
std::string NativeTextWarning();

enum class TextCommands { kLq, kNative };

// The paginator's lines and pages as bytes: lines end CR LF, a page CR FF
// (a page that fills the form exactly must not feed an extra line onto the
// next). In the LQ set each page starts below its top margin (ESC ( v); the
// native set has no such move, and prints from the form's top.
class TextPageWriter final : public LineReceiver {
 public:
  TextPageWriter(TextCommands commands, unsigned top_margin, TextEncoder& encoder,
                 OutputSink& sink);

  void Line(std::u32string_view text) override;
  void PageEnd() override;

 private:
  void StartPage();

  TextCommands commands_;
  unsigned top_;
  TextEncoder* encoder_;
  OutputSink* sink_;
  bool pageStarted_ = false;
  bool lineOpen_ = false;
  std::vector<uint8_t> bytes_;
};

}  // namespace zova::text
