// A plain-text job from its bytes to the printer's, inside the job skeleton
// every route shares (its preamble, end, messages, cancel and printer
// stream): its options, the page and margins, copies and page ranges.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dotmatrix/page_plan.h"
#include "pipeline/file_descriptor.h"
#include "pipeline/job_scope.h"
#include "pipeline/page_offsets.h"
#include "text/character_tables.h"
#include "text/text_layout.h"
#include "text/text_writer.h"

namespace zova::text {

// The options' names: CUPS's own for its text filters, ours for the rest.
inline constexpr std::string_view kCpiOption = "cpi";
inline constexpr std::string_view kLpiOption = "lpi";
inline constexpr std::string_view kWrapOption = "wrap";
inline constexpr std::string_view kPageLeftOption = "page-left";
inline constexpr std::string_view kPageRightOption = "page-right";
inline constexpr std::string_view kPageTopOption = "page-top";
inline constexpr std::string_view kPageBottomOption = "page-bottom";
inline constexpr std::string_view kQualityOption = "ZovaTextQuality";
inline constexpr std::string_view kTableOption = "ZovaCharacterTable";
inline constexpr std::string_view kTextAsOption = "ZovaTextAs";
inline constexpr std::string_view kCharsetOption = "charset";
inline constexpr std::string_view kDocumentTextOption = "ZovaDocumentText";

// Text in the printer's fonts, or drawn as the raster route draws any page.
enum class TextAs { kText, kGraphics };
// The text of a PDF or PostScript document: drawn with the page, or where it
// can, in the printer's fonts.
enum class DocumentText { kGraphics, kFonts };

struct TextOptions {
  Pitch pitch = Pitch::k10;
  LineSpacing spacing = LineSpacing::k6;
  bool wrap = true;
  // Margins in points, as CUPS's text options give them.
  double left = 18, right = 18, top = 36, bottom = 36;
  Quality quality = Quality::kDraft;
  const CharacterTable* table = &DefaultCharacterTable();
  TextAs as = TextAs::kText;
  std::string charset;  // empty: UTF-8
  DocumentText documentText = DocumentText::kGraphics;
};

// An option's value by name, or nullopt where it is not given.
using OptionLookup = std::function<std::optional<std::string>(std::string_view name)>;

// The name a warning gives an option, where the caller's differs.
using OptionName = std::function<std::string(std::string_view option)>;
// Each option from the job, else the queue's default, else ours. A bad job
// value is warned about and the queue's default (or ours) printed with.
TextOptions ReadTextOptions(const OptionLookup& job, const OptionLookup& queue, Messages& messages,
                            const OptionName& shownAs = {});

// One range of pages, 1-based and inclusive.
struct PageRange {
  int first = 1;
  int last = 0x7fffffff;
};
// "1-3,5,8-" as CUPS and IPP write page-ranges; nullopt when malformed.
std::optional<std::vector<PageRange>> ParsePageRanges(std::string_view text);

// Lengths of the medium to the text's units (1/360 inch), to the nearest.
unsigned UnitsFromPoints(double points);
unsigned UnitsFromHundredthsMm(int hundredths);

struct TextJob {
  TextOptions options;
  unsigned pageWidth = 0;  // the medium, in 1/360 inch
  unsigned pageLength = 0;
  CommandSetId commands = CommandSetId::kLq;
  bool okidataPrefix = false;
  PageOffsets offsets;
  int copies = 1;
  std::vector<PageRange> ranges;  // empty: every page
};

// Prints the text in `fd` through `job`, which has begun: every copy reads
// the file again from its start (see SeekableInput). Failures are said and
// fail the job.
void PrintText(JobScope& job, int fd, const TextJob& text, Messages& messages);

// `fd` itself when it can be read again from the start; otherwise its bytes
// in an unnamed file in `directory` (-1 and an error said when that fails).
// `kept` holds the file.
int SeekableInput(int fd, const std::string& directory, FileDescriptor& kept, Messages& messages);

}  // namespace zova::text
