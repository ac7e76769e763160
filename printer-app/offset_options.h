// Media offsets on the command line: PAPPL 1.3.1 reads "-o media-top-offset=5"
// as 5/100 mm and "abc" as 0, and lists offsets in inches or rounded
// millimetres.
#pragma once

#include <string>

namespace zova::app {

// For submit and modify: an offset that is not a length with its unit
// (mm, cm or in) within 10 mm either way is refused with a message: 1.
// -1 when all are good.
int CheckOffsetOptions(const char* base_name, int argc, char* argv[]);

// PAPPL's `options` listing with the offsets in millimetres, both of them.
std::string OffsetsInMillimetres(const std::string& listing, int top_default, int left_default,
                                 int low, int high);

}  // namespace zova::app
