// Runs a program as a child process of the test through the driver's own
// child-process runner (job/child_process.h), adding what a test wants of
// it: standard output and error collected, input from a file or a pipe.
// Every child the tests start goes through here; a child still running when
// its Process goes is killed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/child_process.h"

namespace zova::testing {

struct ProcessOptions {
  // args[0] is the program: a path, or a name looked up on PATH.
  std::vector<std::string> args;
  // Added to, or replacing, the test's own environment.
  std::map<std::string, std::string> env;
  std::vector<std::string> unsetEnv;
  std::string stdinFile;   // standard input from this file; /dev/null by default
  bool stdinPipe = false;  // or from a pipe the test writes (Process::stdinFd)
  // Standard output is collected, unless it goes to this file, or into a
  // pipe whose reader has gone.
  std::string stdoutFile;
  bool stdoutClosed = false;
  bool stderrToStdout = false;  // both streams into one, interleaved
  std::string cwd;              // working directory; the test's by default
  // RLIMIT_AS of the child in bytes, 0 for none. A sanitized child reserves
  // terabytes for its shadow memory and runs without it.
  size_t addressSpaceLimit = 0;
  // RLIMIT_FSIZE in bytes, 0 for none: a larger write kills it (SIGXFSZ).
  size_t fileSizeLimit = 0;
};

// Whether the tests, and the programs built with them, run under
// AddressSanitizer.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
inline constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
inline constexpr bool kAddressSanitizer = false;
#endif

struct ProcessResult {
  int status = -1;   // exit status, 128 + the signal that ended it, 127 if it never ran
  std::string out;   // standard output, when collected
  std::string err;   // standard error
  long peakKiB = 0;  // the child's peak resident memory
};

class Process {
 public:
  explicit Process(const ProcessOptions& options);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  // The write end of standard input when stdinPipe is set.
  int stdinFd() const { return stdin_fd_; }
  void CloseStdin();
  void Signal(int sig);
  // False once the child has ended; its result is kept for Wait.
  bool Running();
  // Waits until the child sleeps in a read of its standard input with a
  // handler for SIGTERM installed: where a cancel is meant to arrive.
  bool WaitUntilBlockedOnStdin();
  // Sends SIGTERM and waits up to `grace` before SIGKILL.
  ProcessResult Stop(std::chrono::milliseconds grace);
  ProcessResult Wait();

 private:
  void Start(const ProcessOptions& options);
  void Record(const ChildStatus& status);
  // The child could not be started: why, as its error output.
  void Fail(const std::string& why);

  ChildProcess child_;
  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  bool reaped_ = false;
  ProcessResult result_;
  std::thread reader_;
};

// Runs the program to its end.
ProcessResult RunProcess(const ProcessOptions& options);

// Options that run `args` with everything else as the test has it.
inline ProcessOptions Command(std::vector<std::string> args) {
  ProcessOptions options;
  options.args = std::move(args);
  return options;
}

}  // namespace zova::testing
