#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "ghostscript_filter.h"

namespace zova::app {
namespace {

// The option's whole number within [low, high]; false after the server's
// "Bad ..." line when it is not one.
bool WholeNumber(int num_options, cups_option_t* options, const char* name, long low, long high,
                 long& value) {
  const char* text = cupsGetOption(name, num_options, options);
  if (text == nullptr) return true;
  char* end = nullptr;
  errno = 0;
  const long parsed = strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) {
    fprintf(stderr, "ERROR: Bad %s value \"%s\" (%ld to %ld)\n", name, text, low, high);
    return false;
  }
  value = parsed;
  return true;
}

}  // namespace

bool ParseGhostscriptLimits(int num_options, cups_option_t* options, ServerSettings& settings) {
  long seconds = settings.ghostscriptJobTime.count();
  // Below 64 MiB Ghostscript cannot even load its libraries.
  long megabytes = settings.ghostscriptMemoryMb;
  if (!WholeNumber(num_options, options, "ghostscript-job-seconds", 1, 7 * 86400, seconds) ||
      !WholeNumber(num_options, options, "ghostscript-memory-mb", 64, 1024 * 1024, megabytes)) {
    return false;
  }
  settings.ghostscriptJobTime = std::chrono::seconds(seconds);
  settings.ghostscriptMemoryMb = static_cast<unsigned>(megabytes);
  return true;
}

}  // namespace zova::app
