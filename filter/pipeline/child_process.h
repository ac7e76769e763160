// A child program started without a shell, ended and reaped on every path
// out, and never left behind: the halftoning tool and Ghostscript both run
// through it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/cancel.h"
#include "pipeline/file_descriptor.h"

namespace zova {

// A standard output that goes nowhere.
inline constexpr int kDiscardOutput = -2;

struct ChildOptions {
  // argv[0] is a path, or a name looked up on PATH.
  std::vector<std::string> argv;
  // Added to the environment, "NAME=VALUE"; `unsetEnv` names are left out.
  std::vector<std::string> env;
  std::vector<std::string> unsetEnv;
  // The child's working directory; the caller's when empty.
  std::string workingDirectory;
  // The child's standard input: this descriptor, or /dev/null when it is -1.
  int stdinFd = -1;
  // The child's standard output: this descriptor, /dev/null for
  // kDiscardOutput, or a pipe the parent reads with ReadOutput when it is -1.
  int stdoutFd = -1;
  // The child's standard error: this descriptor, or, when it is -1, a pipe
  // whose lines go to `errorLine` as they come.
  int stderrFd = 2;
  std::function<void(std::string_view line)> errorLine;
  // The child leads a process group of its own, so that whatever it starts
  // ends with it.
  bool ownProcessGroup = false;
  // The child is killed if the thread that started it dies, the whole
  // program with it: it never outlives its caller.
  bool dieWithParent = true;
  // The most address space the child may map, in bytes (RLIMIT_AS); 0 for
  // no limit. An allocation beyond it fails in the child.
  uint64_t memoryLimit = 0;
  // The largest file the child may write, in bytes (RLIMIT_FSIZE); 0 for no
  // limit. A larger write ends it with SIGXFSZ.
  uint64_t fileSizeLimit = 0;
};

// How a child ended, and whether we ended it.
struct ChildStatus {
  enum Kind {
    kExited,      // with status `code`
    kSignaled,    // by signal `code`
    kNotStarted,  // it could not be run: `code` is the error number
    kLost         // it could not be waited for: `code` is the error number
  };
  enum Stop {
    kNotStopped,
    kCanceled,  // the caller's cancel stopped it
    kTimedOut,  // its time ran out
  };
  Kind kind = kNotStarted;
  int code = 0;
  Stop stoppedBy = kNotStopped;
  // The child's peak resident memory in KiB, as the kernel counted it, and
  // the processor time it and the children it waited for took.
  long peakKb = 0;
  double cpuSeconds = 0;
  bool succeeded() const { return kind == kExited && code == 0; }
};

// "stopped with status 2", "was killed by signal 9", "could not run: ...".
std::string DescribeExit(const ChildStatus& status);

class ChildProcess {
 public:
  using Clock = std::chrono::steady_clock;

  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the child. Returns 0, or the error number.
  int Start(const ChildOptions& options);
  pid_t pid() const { return pid_; }

  // Reads up to `len` bytes of the child's standard output, passing its
  // error lines on meanwhile. Returns the count, 0 at the end of the output,
  // or -1 when `cancel` says so or `deadline` passes first (the child is then
  // stopped and Wait reports why) or the read fails.
  ssize_t ReadOutput(void* buffer, size_t len, const CancelToken& cancel,
                     std::optional<Clock::time_point> deadline = std::nullopt);

  // Waits for the child to end. When `cancel` says so or `deadline` passes
  // first, the child gets SIGTERM and, if it is still there 2 s later,
  // SIGKILL.
  ChildStatus Wait(const CancelToken& cancel = {},
                   std::optional<Clock::time_point> deadline = std::nullopt);

  // How the child ended, reaping it, once it has; nothing while it runs.
  std::optional<ChildStatus> Poll();

  // Ends the child now (SIGTERM, then SIGKILL after `grace`) and reaps it;
  // how it ended.
  ChildStatus Stop(std::chrono::milliseconds grace = std::chrono::seconds(2));

 private:
  // Waits up to `ms` for output, error lines or the child's end; passes
  // error lines on. Returns whether the output has data or has ended.
  bool Pump(int ms, bool want_output);
  void Terminate(ChildStatus::Stop why, std::chrono::milliseconds grace = std::chrono::seconds(2));
  void FlushErrorLines(bool all);

  pid_t pid_ = -1;
  bool group_ = false;
  FileDescriptor pidfd_;
  FileDescriptor output_;
  FileDescriptor errors_;
  std::function<void(std::string_view)> error_line_;
  std::string error_text_;  // error output not yet passed on as a line
  std::optional<ChildStatus> status_;
};

}  // namespace zova
