// The external halftoning tool that turns a picture page's PPM into a PBM.
#pragma once

#include <string>

namespace zova {

// Runs "zova_ID <base> <dpi> <mode>" found through PATH, without a shell,
// with the filter's stdout and stderr and an empty stdin, and waits for it. Its image, or its
// absence, tells the caller how it went.
void RunHalftoneTool(const std::string& base, unsigned dpi, int mode);

}  // namespace zova
