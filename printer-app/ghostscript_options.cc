#include "ghostscript_filter.h"
#include "server_options.h"

namespace zova::app {
bool ParseGhostscriptLimits(int num_options, cups_option_t* options, ServerSettings& settings) {
  long seconds = settings.ghostscriptJobTime.count();
  // Below 64 MiB Ghostscript cannot even load its libraries.
  long megabytes = settings.ghostscriptMemoryMb;
  if (!WholeNumberOption(num_options, options, "ghostscript-job-seconds", 1, 7 * 86400, &seconds) ||
      !WholeNumberOption(num_options, options, "ghostscript-memory-mb", 64, 1024 * 1024,
                         &megabytes)) {
    return false;
  }
  settings.ghostscriptJobTime = std::chrono::seconds(seconds);
  settings.ghostscriptMemoryMb = static_cast<unsigned>(megabytes);
  return true;
}

}  // namespace zova::app
