#include "pipeline/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

extern char** environ;

namespace zova {
namespace {

// How often a wait looks at the cancel token and the clock.
constexpr int kTickMs = 100;
// The parent's environment without `unset`, with `extra` set over it.
std::vector<std::string> Environment(const std::vector<std::string>& extra,
                                     const std::vector<std::string>& unset) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry = *e;
    const std::string_view name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const std::string& x : extra)
      replaced |= x.compare(0, name.size() + 1, std::string(name) + "=") == 0;
    for (const std::string& x : unset) replaced |= x == name;
    if (!replaced) env.emplace_back(entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

// The program's path: as given when it holds a '/', else the first of that
// name on PATH that may be run; as given when there is none, so that exec
// says why.
std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!dirs.empty()) {
    const size_t colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    const std::string candidate = std::string(dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  return name;
}

ChildStatus StatusOf(int wait_status, const rusage& usage) {
  ChildStatus status{ChildStatus::kExited, WEXITSTATUS(wait_status), ChildStatus::kNotStopped};
  if (WIFSIGNALED(wait_status)) status = {ChildStatus::kSignaled, WTERMSIG(wait_status)};
  status.peakKb = usage.ru_maxrss;
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
  };
  status.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return status;
}

}  // namespace

std::string DescribeExit(const ChildStatus& status) {
  char text[96];
  switch (status.kind) {
    case ChildStatus::kExited:
      snprintf(text, sizeof text, "stopped with status %d", status.code);
      break;
    case ChildStatus::kSignaled:
      snprintf(text, sizeof text, "was killed by signal %d", status.code);
      break;
    case ChildStatus::kNotStarted:
    case ChildStatus::kLost:
      snprintf(text, sizeof text, "could not run: %s", strerror(status.code));
      break;
  }
  return text;
}

ChildProcess::~ChildProcess() { (void)Stop(); }

int ChildProcess::Start(const ChildOptions& options) {
  // A child that never ran has its status at once: nothing waits for it.
  const auto not_started = [this](int error) {
    pid_ = -1;
    status_ = ChildStatus{ChildStatus::kNotStarted, error, ChildStatus::kNotStopped};
    return error;
  };
  FileDescriptor output_write, errors_write;
  int fds[2];
  if (options.stdoutFd == -1) {
    if (pipe2(fds, O_CLOEXEC) != 0) return not_started(errno);
    output_ = FileDescriptor(fds[0]);
    output_write = FileDescriptor(fds[1]);
  }
  if (options.stderrFd < 0) {
    if (pipe2(fds, O_CLOEXEC) != 0) return not_started(errno);
    errors_ = FileDescriptor(fds[0]);
    errors_write = FileDescriptor(fds[1]);
    error_line_ = options.errorLine;
  }
  // The child learns through this pipe why it could not run its program.
  if (pipe2(fds, O_CLOEXEC) != 0) return not_started(errno);
  FileDescriptor exec_status(fds[0]), exec_status_write(fds[1]);

  // Everything the child needs is made before the fork: after it, in a
  // process that may have other threads, the child only makes system calls.
  const std::string program = FindProgram(options.argv.at(0));
  std::vector<std::string> env = Environment(options.env, options.unsetEnv);
  std::vector<char*> args, envp;
  for (const std::string& a : options.argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const int out_fd = output_write.valid() ? output_write.get() : options.stdoutFd;
  const int err_fd = errors_write.valid() ? errors_write.get() : options.stderrFd;
  const char* const cwd =
      options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();
  const pid_t parent = getpid();

  pid_ = fork();
  if (pid_ == 0) {
    if (options.ownProcessGroup) setpgid(0, 0);
    // The child goes with the thread that started it, should that die.
    if (options.dieWithParent) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(127);
    }
    const auto fail = [&exec_status_write] {
      const int error = errno;
      (void)!write(exec_status_write.get(), &error, sizeof error);
      _exit(127);
    };
    const rlimit address_space{options.memoryLimit, options.memoryLimit};
    if (options.memoryLimit > 0 && setrlimit(RLIMIT_AS, &address_space) != 0) fail();
    const rlimit file_size{options.fileSizeLimit, options.fileSizeLimit};
    if (options.fileSizeLimit > 0 && setrlimit(RLIMIT_FSIZE, &file_size) != 0) fail();
    if (cwd != nullptr && chdir(cwd) != 0) fail();
    const int in = options.stdinFd >= 0 ? options.stdinFd : open("/dev/null", O_RDONLY);
    const int out = out_fd == kDiscardOutput ? open("/dev/null", O_WRONLY) : out_fd;
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err_fd, 2) < 0) fail();
    // Only the standard descriptors stay open on /dev/null.
    if (options.stdinFd < 0 && in > 2) close(in);
    if (out_fd == kDiscardOutput && out > 2) close(out);
    // The caller may ignore SIGPIPE or block signals in its threads; the
    // child starts with the defaults.
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(program.c_str(), args.data(), envp.data());
    fail();
  }
  if (pid_ < 0) return not_started(errno);
  // Set from both sides, so that a stop right after the fork reaches the group.
  if (options.ownProcessGroup) setpgid(pid_, pid_);
  exec_status_write = FileDescriptor();
  int error = 0;
  ssize_t got;
  while ((got = read(exec_status.get(), &error, sizeof error)) < 0 && errno == EINTR) {
  }
  if (got == sizeof error) {
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    output_ = FileDescriptor();
    errors_ = FileDescriptor();
    return not_started(error);
  }
  group_ = options.ownProcessGroup;
  status_.reset();
  pidfd_ = FileDescriptor(static_cast<int>(syscall(SYS_pidfd_open, pid_, 0)));
  return 0;
}

void ChildProcess::FlushErrorLines(bool all) {
  size_t start = 0;
  for (size_t end; (end = error_text_.find('\n', start)) != std::string::npos; start = end + 1) {
    if (error_line_) error_line_(std::string_view(error_text_).substr(start, end - start));
  }
  error_text_.erase(0, start);
  // A line without its end is passed on once it is this long, or at the end.
  if (!error_text_.empty() && (all || error_text_.size() > 4096)) {
    if (error_line_) error_line_(error_text_);
    error_text_.clear();
  }
}

bool ChildProcess::Pump(int ms, bool want_output) {
  pollfd fds[3];
  nfds_t n = 0;
  const nfds_t out_index = want_output && output_.valid() ? n++ : 3;
  if (out_index < 3) fds[out_index] = {output_.get(), POLLIN, 0};
  const nfds_t err_index = errors_.valid() ? n++ : 3;
  if (err_index < 3) fds[err_index] = {errors_.get(), POLLIN, 0};
  const nfds_t pid_index = !want_output && pidfd_.valid() ? n++ : 3;
  if (pid_index < 3) fds[pid_index] = {pidfd_.get(), POLLIN, 0};
  if (n == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 20)));
    return false;
  }
  if (poll(fds, n, ms) <= 0) return false;
  if (err_index < 3 && fds[err_index].revents != 0) {
    char buffer[4096];
    const ssize_t got = read(errors_.get(), buffer, sizeof buffer);
    if (got > 0) {
      error_text_.append(buffer, static_cast<size_t>(got));
      FlushErrorLines(false);
    } else if (got == 0 || errno != EINTR) {
      FlushErrorLines(true);
      errors_ = FileDescriptor();
    }
  }
  return out_index < 3 && fds[out_index].revents != 0;
}

ssize_t ChildProcess::ReadOutput(void* buffer, size_t len, const CancelToken& cancel,
                                 std::optional<Clock::time_point> deadline) {
  if (!output_.valid()) return 0;
  for (;;) {
    if (pid_ >= 0 && cancel.canceled()) {
      Terminate(ChildStatus::kCanceled);
      return -1;
    }
    if (pid_ >= 0 && deadline && Clock::now() >= *deadline) {
      Terminate(ChildStatus::kTimedOut);
      return -1;
    }
    if (!Pump(kTickMs, true)) continue;
    const ssize_t got = read(output_.get(), buffer, len);
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

ChildStatus ChildProcess::Wait(const CancelToken& cancel,
                               std::optional<Clock::time_point> deadline) {
  while (!status_) {
    if (cancel.canceled()) {
      Terminate(ChildStatus::kCanceled);
      break;
    }
    if (deadline && Clock::now() >= *deadline) {
      Terminate(ChildStatus::kTimedOut);
      break;
    }
    Pump(kTickMs, false);
    int wait_status = 0;
    rusage usage{};
    const pid_t got = wait4(pid_, &wait_status, WNOHANG, &usage);
    if (got == pid_) {
      status_ = StatusOf(wait_status, usage);
    } else if (got < 0 && errno != EINTR) {
      // How it ended is unknown: a failure, never "exited 0".
      status_ = ChildStatus{ChildStatus::kLost, errno, ChildStatus::kNotStopped};
    }
  }
  // What it wrote last, without waiting on anyone who still holds the pipe.
  while (errors_.valid()) {
    pollfd fd{errors_.get(), POLLIN, 0};
    if (poll(&fd, 1, 0) <= 0) break;
    Pump(0, false);
  }
  FlushErrorLines(true);
  errors_ = FileDescriptor();
  output_ = FileDescriptor();
  pidfd_ = FileDescriptor();
  pid_ = -1;
  return *status_;
}

std::optional<ChildStatus> ChildProcess::Poll() {
  if (pid_ < 0 || status_) return status_;
  int wait_status = 0;
  rusage usage{};
  if (wait4(pid_, &wait_status, WNOHANG, &usage) != pid_) return std::nullopt;
  status_ = StatusOf(wait_status, usage);
  return status_;
}

void ChildProcess::Terminate(ChildStatus::Stop why, std::chrono::milliseconds grace) {
  if (pid_ < 0 || status_) return;
  const pid_t target = group_ ? -pid_ : pid_;
  kill(target, SIGTERM);
  const auto give_up = Clock::now() + grace;
  int wait_status = 0;
  rusage usage{};
  pid_t got = 0;
  while ((got = wait4(pid_, &wait_status, WNOHANG, &usage)) == 0 && Clock::now() < give_up) {
    if (pidfd_.valid()) {
      pollfd fd{pidfd_.get(), POLLIN, 0};
      poll(&fd, 1, 20);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  if (got == 0) {
    kill(target, SIGKILL);
    while ((got = wait4(pid_, &wait_status, 0, &usage)) < 0 && errno == EINTR) {
    }
  }
  const int wait_error = errno;
  // Whatever the group's leader started goes with it.
  if (group_) kill(target, SIGKILL);
  status_ = got < 0 ? ChildStatus{ChildStatus::kLost, wait_error} : StatusOf(wait_status, usage);
  status_->stoppedBy = why;
}

ChildStatus ChildProcess::Stop(std::chrono::milliseconds grace) {
  if (pid_ < 0) return status_.value_or(ChildStatus{});
  // Closing our end first: a child blocked on a full pipe sees EPIPE.
  output_ = FileDescriptor();
  Terminate(ChildStatus::kCanceled, grace);
  return Wait();
}

}  // namespace zova
