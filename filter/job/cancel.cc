#include "job/cancel.h"

namespace zova {

volatile sig_atomic_t Canceled = 0;

void CancelJob(int /*sig*/) { Canceled = 1; }

void InstallCancelHandler() {
  struct sigaction action = {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  action.sa_handler = CancelJob;
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace zova
