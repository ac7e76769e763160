// What the printer is to print of one page, and where its rows come from.
// The page pipeline decides it once per page (pipeline/page_planner.h), before
// any row is read back; the output routines only read it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "dotmatrix/dither_mode.h"

namespace zova {

// The command set a page is written in: the printer's LQ simulation (ESC/P
// style) or its native commands.
enum class CommandSetId : uint8_t { kLq, kNative };

struct CommandSetChoice {
  CommandSetId id;
  std::string_view name;   // the PPD's choice, which reaches the filter as OutputType
  std::string_view label;  // as the test pages and the web page show it
};

// The PPD option that picks the command set, and its choices.
inline constexpr std::string_view kCommandSetPpdOption = "ZovaCommandSet";
inline constexpr CommandSetChoice kCommandSetChoices[] = {
    {CommandSetId::kLq, "LQ", "LQ simulation"},
    {CommandSetId::kNative, "Native", "Native commands"},
};

// The set a page header's OutputType names: "LQ", any other the native set.
constexpr const CommandSetChoice& CommandSetOf(std::string_view output_type) {
  return output_type == kCommandSetChoices[0].name ? kCommandSetChoices[0] : kCommandSetChoices[1];
}

struct Resolution {
  unsigned x = 0;  // dots per inch across
  unsigned y = 0;  // dots per inch down
  bool operator==(const Resolution&) const = default;
};

// How far the head travels on a pass.
enum class HeadTravel : uint8_t {
  kFull,   // from the left margin to the band's last column, in 1/60-inch steps
  kInked,  // only where the pass has ink, across blank stretches by head moves
};

// How the page length is set.
enum class FormLength : uint8_t {
  kLines,  // in whole 1/6-inch lines
  kExact,  // as finely as the set allows, carried from page to page so a run
           // of continuous forms does not drift
};

// What a page is printed as.
enum class PageClass : uint8_t {
  kText,     // thresholded
  kPicture,  // halftoned by the tool
  kMixed,    // region by region: text thresholded, pictures halftoned
};

// The spooled raster a text page, or a mixed page's text, is read from.
struct TextSource {
  unsigned columns = 0;  // pixels per raster row
  unsigned rows = 0;     // raster rows
  unsigned rowBytes = 0;
};

// What the halftoning tool is asked for and must deliver: the pictures of a
// page, screened at `dpi` through `screen`, `columns` x `rows` dots.
struct PictureSource {
  Resolution dpi;
  // Rows per inch the tool is told; 0 leaves it at its own 1/180 inch.
  unsigned rowPitch = 0;
  DitherMode screen = DitherMode::kOrdered;
  unsigned columns = 0;
  unsigned rows = 0;
};

struct PagePlan {
  // The rows. Text is thresholded at the page's own resolution unless
  // `reduced`: a 360x360 page printed at 180x180 from merged pixel pairs and
  // row pairs. Pictures come from the tool, screened from the spooled page,
  // or from its 2x2 average when `averaged` (the pictures of a reduced mixed
  // page).
  PageClass pageClass = PageClass::kText;
  bool reduced = false;
  bool averaged = false;
  TextSource text;        // unused on a picture page
  PictureSource picture;  // unused on a text page

  // The printer's commands.
  CommandSetId commandSet = CommandSetId::kLq;
  // A printer in its OKIDATA emulation enters the LQ set with ESC { A.
  bool okidataPrefix = false;
  int pageLines = 0;  // page length in 1/6-inch lines
  FormLength formLength = FormLength::kLines;
  double formInches = 0;  // the medium's length, for an exact form length
  HeadTravel headTravel = HeadTravel::kFull;
  // The resolution the page was requested at sets up the page: line spacing,
  // direction and the trimming step.
  Resolution setup;
  // The resolution of the rows as printed picks the bit-image mode; a
  // reduced page prints at 180x180 on a 360x360 setup.
  Resolution band;
  unsigned columns = 0;  // dots per printed row
  unsigned rows = 0;     // printed rows
  // Trailing blank columns are cut in steps of this many (1/60 inch at the
  // setup resolution); 0 sends every band whole.
  unsigned trimColumns = 0;
  // Neighbouring columns print in two passes that run 8 dot rows apart.
  bool shingled = false;
  // Each band goes twice over its line, its bytes at even positions first.
  bool twoPasses = false;
  // Pending feed added after pass buffer 0 and pass buffer 1 go out.
  std::array<unsigned, 2> feedUnits{1, 1};
  // The job's offsets in printed dots: positive moves the rows down and
  // right (pipeline/row_placer.h).
  int shiftRows = 0;
  int shiftColumns = 0;
};

}  // namespace zova
