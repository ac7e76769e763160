#include "server_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace zova::app {

bool WholeNumberOption(int num_options, cups_option_t* options, const char* name, long low,
                       long high, long* value) {
  const char* text = cupsGetOption(name, num_options, options);
  if (text == nullptr) return true;
  char* end = nullptr;
  errno = 0;
  const long parsed = strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) {
    fprintf(stderr, "ERROR: Bad %s value \"%s\" (%ld to %ld)\n", name, text, low, high);
    return false;
  }
  *value = parsed;
  return true;
}

}  // namespace zova::app
