// What a server of the test's own shares, the printer application's or the
// CUPS scheduler's: a scratch directory for its state, a free port, a start
// that polls until the server answers, and a stop by its process ID.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>

#include "support/process.h"
#include "support/temp_dir.h"

namespace zova::testing {

// A port on 127.0.0.1 that nothing listens on now; 0 when there is none.
int FreePort();

class PrivateServer {
 public:
  enum Started { kAnswering, kExited, kSilent };

  PrivateServer() : dir_(scratch_.path()) {}
  ~PrivateServer() { Kill(SIGKILL); }
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  pid_t pid() const { return process_ ? process_->pid() : -1; }

  // Starts the server with its standard output and error into `output`, then
  // asks `answers` every 100 ms until it says yes, the server ends, or
  // `timeout` passes.
  Started Launch(ProcessOptions options, const std::filesystem::path& output,
                 const std::function<bool()>& answers, std::chrono::seconds timeout);
  // SIGTERM, then SIGKILL after `grace`; waits for it.
  void Stop(std::chrono::milliseconds grace);
  // Ends it with `sig` and waits for it.
  void Kill(int sig);

 private:
  TempDir scratch_;  // removed with everything in it once the server is gone
  std::filesystem::path dir_;
  std::unique_ptr<Process> process_;
};

}  // namespace zova::testing
