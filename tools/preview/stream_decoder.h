// Reads a ZOVA-QRT printer stream, as the filter writes it, back into pages.
//
// The decoder is strict: every byte must belong to a command the filter
// writes, in the place the filter writes it. Anything else is an error that
// names its byte offset, and decoding stops there. So is a page longer than
// the longest form, or a band beyond the widest carriage or below the
// longest form: no ZOVA-QRT prints it, so no page drawn here is larger than
// the largest the printer takes.
//
// Stream layout
//   job      := preamble page* job-end
//   preamble := exactly 9800 NUL bytes
//   LQ page  := [ESC { A] ESC @ ESC 6 command* FF
//   LQ text  := [ESC { A] ESC @ ESC x n command* FF (command* FF)*
//   native   := ESC N command* FF
//   native text := ESC N ESC 6 command* FF (command* FF)*  (no ESC % B)
//   job-end  := ESC @ at the very end of the stream when the last page is an
//               LQ page or there is no page. The native command set has no
//               job end: after a native page the stream ends after its FF.
//   An ESC @ after an FF that is not the job end must open an LQ page (be
//   followed by ESC 6); anything else there is data after the job end.
//
// A text job is set up once: its later pages follow the form feed without a
// reset, in the settings the page before left (an ESC @ or ESC N there starts
// afresh).
//
// Commands inside a page, each in its own dialect only:
//   both    CR (head to the left margin), FF (page end), ESC 6, LF (one line
//           of the spacing in force), characters: bytes 20-7E, A0-FF, and
//           80-9F after ESC 6
//   LQ      FS x n, ESC U n (n 0/1 or ASCII '0'/'1'), ESC 2, ESC C n (n > 0),
//           ESC 3 n, ESC + n, ESC ( U 01 00 m, ESC ( v 02 00 vL vH,
//           ESC * m nL nH data, ESC $ nL nH (the head n ESC ( U units
//           right of the left margin; 1/60 inch before any ESC ( U),
//           ESC ( C 02 00 mL mH (in the ESC ( U unit); for text ESC x n,
//           ESC O, ESC P, ESC M, ESC g, SI, ESC 0, ESC l n, ESC Q n,
//           ESC ( t 03 00 d1 d2 d3 (d1 0..3, d2 d3 a table of
//           text/character_tables.h), ESC t n (0..3), ESC R 0, DC2,
//           ESC E, ESC F, ESC - n, ESC ( V 02 00 vL vH (never back up)
//   native  ESC % B, ESC F a b (b 0..9), ESC % 1 nH nL data, ESC % 5 t
// A bit image must start at the left margin, where CR returns the head, or
// right after an ESC $ that put the head where it starts (on the image's dot
// grid): the filter sends one or the other before each. So a bit image whose
// data is short swallows the CR or move after it, and the next bit image is
// caught starting off the margin; one whose data is long leaves data bytes
// where a command must start.
//
// How the printer is read where the stream alone does not say
//   - Every bit-image mode is a 24-dot mode: 3 bytes per column.
//   - ESC * modes: 00 60 dpi, 01 120 dpi, 03 240 dpi, 27 180 dpi, 28 and 29
//     360 dpi, all with the pins 1/180 inch apart; 48 and 49 360 dpi with
//     the dot rows 1/360 inch apart (the modes of pages set up with ESC +,
//     line spacing in 1/360 inch).
//   - The modes of shingled pages (27, 28, 29, 48, 49) place every column
//     where its position says: the filter has already split neighbouring
//     columns between the two pass buffers, and the printer adds no stagger
//     of its own.
//   - A second bit image on the same line (CR but no feed in between, the
//     two-pass mode at 120 and 240 dpi) overprints the first: the page holds
//     the union of the dots.
//   - ESC ( v moves the paper by v units of the last ESC ( U on the page
//     (m/3600 inch). A move before any ESC ( U on the page is an error.
//   - Native ESC % 5 t moves the paper t/120 inch, so the 16 units the filter
//     sends per band are 24 dot rows at the head's 1/180 inch pitch. Native
//     bit images carry no density: they are drawn 180x180 dpi.
//   - The first print line is the top of the page; the page is ESC C n or
//     ESC F a b (10a + b) lines of 1/6 inch long, or ESC ( C's length.
//   - Text: a character's cell is the pitch wide (10 cpi 1/10 inch, ESC M
//     12 cpi, ESC g 15, SI after ESC P 17.14, after ESC M 20) and the line
//     spacing high; it prints at the left margin plus the head's travel
//     since CR. ESC l and ESC Q count columns of the pitch in force from
//     the carriage's left end. After ESC @ every table slot holds the
//     panel's table (PC437 unless told otherwise) and slot 1 is selected.
//   - The native set's text prints at the panel's settings: 10 cpi, 1/6-inch
//     lines, an 11-inch form, the panel's table, LQ quality.
//   - ESC ( V places the head v units of the last ESC ( U below the top of
//     the page; a character printed there has its baseline 20/180 inch
//     lower and is 24/180 inch high, whatever the line spacing.
//
// Where no reading gives the filter's page back
//   - LQ at 60, 120 and 240 dpi (no shingling): each 24-dot band adds one
//     feed unit, sent as ESC ( v 8 in 1/180 inch: the next band lands 8 dot
//     rows down, overprinting two thirds of the band before. Only a pin pitch
//     of 1/540 inch would fit, and the same head prints the shingled 180 dpi
//     pages at 1/180 (their 8/180-inch step is one 8-row group). Pages up to
//     24 rows high, which need no feed, come back whole.
//   - LQ pages with 360 rows per inch (set up with ESC + 8): pass buffer 0
//     adds 1 unit (8/180 inch) and pass buffer 1 adds 5 (40/180 inch), while
//     the bands they print stand 8 and then 16 dot rows apart. The stream's
//     steps are 1:5 where the bands need 1:2, so no pitch fits: at 1/360 the
//     second band lands 16 rows down instead of 8 and the next pair 96 rows
//     down instead of 24. Only the first 8 rows of such a page come back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "preview/page_model.h"
#include "preview/stream_window.h"

namespace zova::preview {

struct StreamError {
  size_t offset = 0;  // byte offset in the stream where decoding stopped
  std::string message;
};

// Takes each page as soon as its form feed is read; false stops decoding.
using PageSink = std::function<bool(DecodedPage page)>;

struct DecodeResult {
  size_t pages = 0;                  // pages handed to the sink
  std::optional<StreamError> error;  // set when the stream is not the filter's
  bool read_failed = false;          // the reader failed; where it stopped says nothing
  bool stopped = false;              // the sink said stop
};

// Told where each job of a capture starts: its number (from 1) and offset.
using JobStartSink = std::function<void(size_t job, size_t offset)>;

// Decodes the stream as `read` delivers it, holding one page and the command
// being decoded, never the pages before or the bytes already decoded. With
// `job_start`, the stream may be a capture of several jobs, one after
// another as a printer's connection carries them: a job's preamble may
// follow where the job before it ended (its job end ESC @, or after a native
// page its FF). Without it, one job is the whole stream.
// A bit image as the printer prints it: where (1/3600 inch from the
// carriage's left end and from the page's first print line), its layout and
// its columns of kBytesPerColumn bytes.
struct BitImageSeen {
  long x = 0, y = 0;
  BandGeometry geometry;
  const uint8_t* data = nullptr;
  size_t columns = 0;
  bool unidirectional = false;
};

// What the stream leaves to the printer's panel, and who else watches.
struct DecodeOptions {
  uint8_t panel_table = 0;  // an index in text::CharacterTables(); 0 is PC437
  // Told of each bit image once it has printed, for measurements beside
  // the time model (bench/).
  std::function<void(const BitImageSeen&)> bit_image;
  // Characters drawn into the page's dots too; without, the dots are the
  // bit images' alone.
  bool draw_characters = true;
};

DecodeResult DecodeIncrementally(const StreamReader& read, const PageSink& sink,
                                 const JobStartSink& job_start = {},
                                 const DecodeOptions& options = {});

// As DecodeIncrementally, one job, but each page without its dots: its
// motion (for the time model), bands and length only, so that memory stays
// a few numbers whatever the page. Its dots and dot_count are empty.
DecodeResult DecodeMotion(const StreamReader& read, const PageSink& sink);

// A whole stream in memory, all its pages kept.
struct DecodedStream {
  std::vector<DecodedPage> pages;    // every page completed before any error
  std::optional<StreamError> error;  // set when the stream is not the filter's
};

DecodedStream DecodeStream(const uint8_t* data, size_t size, const DecodeOptions& options = {});

inline DecodedStream DecodeStream(const std::vector<uint8_t>& bytes,
                                  const DecodeOptions& options = {}) {
  return DecodeStream(bytes.data(), bytes.size(), options);
}

}  // namespace zova::preview
