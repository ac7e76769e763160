// A page's text placed where a document puts it, printed in the LQ set
// between the page's bands: each line at its paper position (ESC ( V), each
// run at its place on the line (ESC $) in its pitch, bold or not, its
// characters in the job's table.
#pragma once

#include <string>
#include <vector>

#include "dotmatrix/page_lines.h"
#include "text/character_tables.h"
#include "text/text_layout.h"
#include "text/text_writer.h"

namespace zova::text {

struct PlacedRun {
  unsigned x = 0;  // its first character's left edge, 1/360 inch from the page's left edge
  Pitch pitch = Pitch::k10;
  bool bold = false;
  std::u32string text;  // characters the table holds
};

struct PlacedLine {
  // Where the head stands to print it, 1/360 inch below the top of the
  // page: its baseline less lq_text::kBaselineDrop.
  unsigned position = 0;
  std::vector<PlacedRun> runs;
};

class PlacedLines final : public PageLines {
 public:
  PlacedLines(std::vector<PlacedLine> lines, Quality quality, const CharacterTable& table);

  bool PrintAbove(OutputSink& sink, unsigned position) override;

  const std::vector<PlacedLine>& lines() const { return lines_; }

 private:
  void PrintLine(OutputSink& sink, const PlacedLine& line);

  std::vector<PlacedLine> lines_;  // top down, each one's runs left to right
  size_t next_ = 0;
  Quality quality_;
  const CharacterTable* table_;
  TextEncoder encoder_;
  bool setUp_ = false;
  // What the printer's reset left, as the lines change it.
  PitchSelect pitch_;
  bool bold_ = false;
  std::vector<uint8_t> bytes_;
};

}  // namespace zova::text
