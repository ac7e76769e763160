// zova_ID BASE DPI MODE [YDPI]: the halftoning tool the filter runs on picture pages.
// Standard output carries the printer data of the filter that runs this tool,
// so nothing here ever writes to it; messages go to standard error.
#include <csignal>

#include "zova_ID/halftone.h"

namespace {

volatile std::sig_atomic_t Canceled = 0;

void CancelJob(int) { Canceled = 1; }

}  // namespace

int main(int argc, char** argv) {
  // No SA_RESTART: a read blocked on a slow input returns so the cancel is seen.
  struct sigaction action = {};
  action.sa_handler = CancelJob;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  const std::optional<zova::HalftoneRequest> request = zova::ParseArguments(argc, argv);
  if (!request) return zova::kExitUsage;
  return zova::RunHalftone(*request, Canceled);
}
