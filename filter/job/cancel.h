// Job cancellation: CUPS sends SIGTERM when the user cancels the job.
#pragma once

#include <csignal>

namespace zova {

// Set by CancelJob; the page loop and both row loops of a page check it.
extern volatile sig_atomic_t Canceled;

// SIGTERM handler: only records the request.
void CancelJob(int sig);

// Installs CancelJob for SIGTERM: no flags, so a blocked wait returns early.
void InstallCancelHandler();

}  // namespace zova
