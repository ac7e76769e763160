// The printer's time: how long a ZOVA-QRT takes over a decoded page, from
// what its head and paper do on it (PageMotion) and a model of their speeds.
//
// Every number is a parameter (zova-preview --time-set NAME=VALUE); the
// defaults are a current 24-pin passbook printer's data sheet:
//   - Text: 480, 360, 180 and 120 characters per second at 10 cpi for
//     high-speed draft, draft, NLQ and LQ. The rate is the head's: at
//     another pitch the head moves as fast and prints more or fewer
//     characters, so a quality's head speed is its rate over 10 cpi (LQ:
//     12 in/s, high-speed draft: 48 in/s).
//   - Graphics: a pin fires at most so many times a second, and the four
//     text rates all come to the same figure: LQ characters put their dots
//     on a 1/180-inch grid (12 in/s x 180 = 2160 dots a second), NLQ on
//     1/120 (18 x 120), draft on 1/60 (36 x 60), high-speed draft on 1/45
//     (48 x 45). A bit-image pass at D dots per inch therefore moves the head
//     at 2160 / D in/s: 12 in/s at 180 dpi, 18 at 120, 36 at 60. Above
//     180 dpi neighbouring dots cannot fire in one pass, so the head moves as
//     at half the density (240 dpi as 120, 360 as 180). No pass is faster
//     than the carriage's top speed, the high-speed draft rate.
//   - The bit images of a line (from one CR or paper move to the next) print
//     in one sweep of the head; a move (ESC $) between two of them is slew.
//     A bit image runs from its first dot to its last; blank columns either
//     side cost nothing (the head seeks its first dot). Whether the ZOVA-QRT
//     does so is not known: with seek-first-dot=0 every column a bit image
//     is sent prints, blank or not. Moving the head without printing (to
//     where a sweep starts, between the images of a line, and back to the
//     left after a unidirectional sweep) is slew, at the carriage's top
//     speed. The stream says whether sweeps are unidirectional (LQ ESC U 1:
//     each starts at its left end) or bidirectional (ESC U 0, the default
//     after ESC @, and every native page: each starts at the end nearer the
//     head).
//   - Paper: 35 ms per 1/6-inch line feed and 330 mm/s continuous feed. A
//     move of d inches takes a start-and-stop time plus d at 330 mm/s; the
//     start-and-stop time is what the 35 ms leave after 1/6 inch at 330 mm/s
//     (about 22.2 ms). Feeds with nothing printed between them are one move;
//     the form feed is a move to the next page's top (a whole page from a
//     top of form), together with the feeds before it. A page whose stream
//     sets no length is 66 lines (11 inches) long.
#pragma once

#include <string>

#include "preview/page_model.h"

namespace zova::preview {

struct TimeModel {
  // Characters per second at rated_cpi, by print quality.
  double hs_draft_cps = 480;
  double draft_cps = 360;
  double nlq_cps = 180;
  double lq_cps = 120;
  double rated_cpi = 10;
  // LQ characters fire their dots this many to the inch, one after another:
  // with the LQ rate it gives the pins' firing rate.
  double lq_dot_dpi = 180;
  // The finest density whose neighbouring dots fire in one pass.
  double adjacent_dpi = 180;
  // Carriage speed moving the head without printing, in/s.
  double slew_ips = 48;
  // Added to each pass: the head's speeding up and slowing down.
  double pass_ms = 0;
  // 1: the head moves to a bit image's first dot and stops after its last;
  // 0: it prints every column it is sent.
  double seek_first_dot = 1;
  double line_feed_ms = 35;  // one 1/6-inch line feed
  double feed_mm_per_s = 330;
  double default_page_lines = 66;
};

enum class TextQuality { kHighSpeedDraft, kDraft, kNlq, kLq };

// Head speed in inches per second while printing text of `quality`.
double TextHeadSpeed(const TimeModel& model, TextQuality quality);
// ... and while printing a bit image of `dpi` columns per inch.
double GraphicsHeadSpeed(const TimeModel& model, unsigned dpi);

struct PrintTime {
  double printing = 0;  // seconds the head prints
  double slewing = 0;   // seconds it moves without printing, with pass_ms
  double paper = 0;     // seconds the paper moves, the form feed's included
  double Total() const { return printing + slewing + paper; }
};

// The modelled time of one page, from the form feed before it to its own.
// For the printer application to log with each job as well.
PrintTime EstimatePrintTime(const DecodedPage& page, const TimeModel& model);

// "0.4 s", "54 s", "3 min 05 s".
std::string FormatSeconds(double seconds);

}  // namespace zova::preview
