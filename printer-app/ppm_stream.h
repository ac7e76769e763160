// Pages of a PPM stream, as Ghostscript's ppmraw device writes them one
// after another: "P6", width, height and maxval, separated by whitespace and
// '#' comments, one whitespace byte, then the RGB rows.
#pragma once

#include <cstdio>

namespace zova::app {

// Reads the next page's header, up to its first pixel byte. False at the
// end of the stream, or for anything but a P6 image with maxval 255.
bool ReadPpmHeader(FILE* in, unsigned* width, unsigned* height);

}  // namespace zova::app
