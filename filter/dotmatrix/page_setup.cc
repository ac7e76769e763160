// Job preamble, page setup of both dialects, and job end.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "dotmatrix/commands.h"
#include "dotmatrix/dotmatrix.h"
#include "dotmatrix/output_sink.h"

namespace zova {
namespace {

// Sizes a page buffer, zeroed. Running out of memory here ends the job: the
// page has written its setup but no band, and no spool file exists yet.
void AllocateOrExit(std::vector<uint8_t>& buffer, size_t size, const char* message) {
  try {
    buffer.assign(size, 0);
  } catch (const std::bad_alloc&) {
    fputs(message, stderr);
    exit(1);
  }
}

bool NicknameSaysOkidata(const ppd_file_t* ppd) {
  return ppd != nullptr && ppd->nickname != nullptr && strstr(ppd->nickname, "OKIDATA") != nullptr;
}

void WriteLqSetup(OutputState& out, const ppd_file_t* ppd, const cups_page_header2_t* header,
                  int lines) {
  const unsigned r0 = header->HWResolution[0];
  const unsigned r1 = header->HWResolution[1];

  // A printer switched to OKIDATA emulation needs ESC { A to enter the LQ set.
  if (NicknameSaysOkidata(ppd)) PutBytes(out, {kEsc, '{', 'A'});
  PutBytes(out, {kEsc, '@'});
  PutBytes(out, {kEsc, '6'});

  // The high-density modes print unidirectionally so the passes line up.
  const uint8_t fine = (r0 == 360 || r0 == 240) ? '1' : '0';
  PutBytes(out, {kFs, 'x', fine});
  PutBytes(out, {kEsc, 'U', fine});

  // 1/6-inch lines, page length in lines.
  PutBytes(out, {kEsc, '2', kEsc, 'C', static_cast<uint8_t>(lines % 256)});

  out.Shingling = 0;
  if (r0 == 60 || r0 == 120 || r0 == 240) {
    PutBytes(out, {kEsc, '3', 0x18});
  } else if (r0 == 180 || r0 == 360) {
    out.Shingling = 1;
    if (r1 == 180) {
      PutBytes(out, {kEsc, '3', 0x08});
    } else {
      PutBytes(out, {kEsc, '+', 0x08});
    }
  }
}

void WriteNativeSetup(OutputState& out, int lines) {
  PutBytes(out, {kEsc, 'N'});
  PutBytes(out, {kEsc, '%', 'B'});
  PutBytes(out, {kEsc, '6'});
  // Page length as two raw decimal digits, tens first.
  PutBytes(out, {kEsc, 'F', static_cast<uint8_t>(lines / 10), static_cast<uint8_t>(lines % 10)});
  out.Shingling = 0;  // the native set never shingles
}

}  // namespace

void Setup(OutputState& out) {
  static const std::vector<uint8_t> preamble(kPreambleLength, kNul);
  PutBlock(out, preamble.data(), preamble.size());
}

bool StartPage(OutputState& out, const ppd_file_t* ppd, const cups_page_header2_t* header) {
  if (header->OutputType[0] == '\0') {
    fputs("ERROR: OutputType Error\n", stderr);
    return false;
  }
  const bool lq = strcmp(header->OutputType, "LQ") == 0;
  // Without a mode byte the printer would read the column count as the mode.
  if (lq && !LqHasModeFor(header->HWResolution[0])) {
    fprintf(stderr,
            "ERROR: The LQ command set cannot print at %u dpi horizontally "
            "(60, 120, 180, 240 or 360 dpi)\n",
            header->HWResolution[0]);
    return false;
  }
  out.SimulationTypeLQ = lq ? 1 : 0;

  // Page length in 1/6-inch lines; PageSize is in points.
  const int lines = static_cast<int>(header->PageSize[1] / 12.0 + 0.5);
  if (lq) {
    WriteLqSetup(out, ppd, header, lines);
  } else {
    WriteNativeSetup(out, lines);
  }
  out.DotBytes = static_cast<int>(header->cupsRowCount / 8);
  out.DotColumns = static_cast<int>(header->HWResolution[0] / 60);

  const size_t width = header->cupsWidth;
  const size_t dot_bytes = static_cast<size_t>(out.DotBytes);
  AllocateOrExit(out.Planes[0], header->cupsBytesPerLine, "ERROR: Unable to allocate memory\n");
  AllocateOrExit(out.CompBuffer, 2 * width, "ERROR: Unable to allocate memory CompBuffer\n");
  AllocateOrExit(out.LineBlock, dot_bytes * (width + width * static_cast<size_t>(out.Shingling)),
                 "ERROR: Unable to allocate memory\n");
  out.LineBuffers[0] = out.LineBlock.data();
  out.LineBuffers[1] = out.LineBlock.data() + dot_bytes * width;
  out.PageColumns = header->cupsWidth;

  out.DotBit = 128;
  out.LineCount = 0;
  out.EvenOffset = 0;
  out.OddOffset = 0;
  out.LineNum = 0;
  return true;
}

void Shutdown(OutputState& out) {
  if (out.SimulationTypeLQ == 1) PutBytes(out, {kEsc, '@'});
  FlushSink(out);
}

}  // namespace zova
