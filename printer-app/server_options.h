// Reading the server's own -o NAME=VALUE options.
#pragma once

#include <cups/cups.h>

namespace zova::app {

// The option's whole number within [low, high], left as it is when the
// option is not given; false after an "ERROR: Bad NAME value ..." line on
// standard error when it is not such a number.
bool WholeNumberOption(int num_options, cups_option_t* options, const char* name, long low,
                       long high, long* value);

}  // namespace zova::app
