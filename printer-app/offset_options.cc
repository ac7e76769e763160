#include "offset_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

#include "pipeline/page_offsets.h"

namespace zova::app {
namespace {

// A length in 1/100 mm, as PAPPL turns it into one; false without a unit.
bool ParseLength(const char* value, int* hundredths) {
  char* unit = nullptr;
  const double number = strtod(value, &unit);
  if (unit == value || !std::isfinite(number)) return false;
  double scale = 0;
  if (strcmp(unit, "mm") == 0) scale = 100;
  if (strcmp(unit, "cm") == 0) scale = 1000;
  if (strcmp(unit, "in") == 0) scale = 2540;
  if (scale == 0 || std::fabs(number * scale) > 1e6) return false;
  *hundredths = static_cast<int>(number * scale);
  return true;
}

std::string Mm(int hundredths) {
  char text[32];
  snprintf(text, sizeof text, "%.2fmm", hundredths / 100.0);
  return text;
}

}  // namespace

int CheckOffsetOptions(const char* base_name, int argc, char* argv[]) {
  if (argc < 2 || (strcmp(argv[1], "submit") != 0 && strcmp(argv[1], "modify") != 0)) return -1;
  for (int i = 2; i + 1 < argc; ++i) {
    if (strcmp(argv[i], "-o") != 0) continue;
    const char* option = argv[++i];
    for (const char* name : {"media-top-offset", "media-left-offset"}) {
      const size_t length = strlen(name);
      if (strncmp(option, name, length) != 0 || option[length] != '=') continue;
      const char* value = option + length + 1;
      // PAPPL would set them in media-col-default, which no job uses.
      if (strcmp(argv[1], "modify") == 0) {
        fprintf(stderr,
                "%s: a source's offsets are set on the printer's Media page (or with "
                "Set-Printer-Attributes media-col-ready); submit takes a job's own %s.\n",
                base_name, name);
        return 1;
      }
      int hundredths = 0;
      if (!ParseLength(value, &hundredths) || hundredths < -kMaxOffset || hundredths > kMaxOffset) {
        fprintf(stderr,
                "%s: %s \"%s\" is not a length from %s to %s with its unit (mm, cm or in), "
                "e.g. %s=2.5mm.\n",
                base_name, name, value, Mm(-kMaxOffset).c_str(), Mm(kMaxOffset).c_str(), name);
        return 1;
      }
    }
  }
  return -1;
}

std::string OffsetsInMillimetres(const std::string& listing, int top_default, int left_default,
                                 int low, int high) {
  std::istringstream in(listing);
  std::string out, line;
  const std::string range = Mm(low) + " to " + Mm(high) + " (+ moves ";
  bool shown = false;
  while (std::getline(in, line)) {
    if (line.find("-o media-top-offset=") == std::string::npos) {
      out += line + "\n";
      continue;
    }
    // Both offsets in place of PAPPL's top offset lines, once.
    if (std::exchange(shown, true)) continue;
    out += "  -o media-top-offset=" + Mm(top_default) + " (default)\n";
    out += "  -o media-top-offset=" + range + "down)\n";
    out += "  -o media-left-offset=" + Mm(left_default) + " (default)\n";
    out += "  -o media-left-offset=" + range + "right)\n";
  }
  return out;
}

}  // namespace zova::app
