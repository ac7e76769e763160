#include "ppm_stream.h"

#include <cctype>

namespace zova::app {
namespace {

// Past whitespace and comments; the first byte after them, or EOF.
int SkipBlanks(FILE* in) {
  int c = fgetc(in);
  while (c != EOF && (isspace(c) || c == '#')) {
    if (c == '#') {
      while (c != EOF && c != '\n') c = fgetc(in);
    }
    c = fgetc(in);
  }
  return c;
}

bool ReadNumber(FILE* in, unsigned* value) {
  int c = SkipBlanks(in);
  if (c == EOF || !isdigit(c)) return false;
  unsigned long v = 0;
  while (c != EOF && isdigit(c)) {
    v = v * 10 + static_cast<unsigned long>(c - '0');
    if (v > 1u << 24) return false;
    c = fgetc(in);
  }
  // The one whitespace byte after maxval belongs to the header; a '#' or a
  // blank after width or height is read again by the next number.
  if (c != EOF && !isspace(c)) ungetc(c, in);
  *value = static_cast<unsigned>(v);
  return true;
}

}  // namespace

bool ReadPpmHeader(FILE* in, unsigned* width, unsigned* height) {
  unsigned maxval = 0;
  return SkipBlanks(in) == 'P' && fgetc(in) == '6' && ReadNumber(in, width) &&
         ReadNumber(in, height) && ReadNumber(in, &maxval) && maxval == 255 && *width > 0 &&
         *height > 0;
}

}  // namespace zova::app
