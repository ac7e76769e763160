#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace zova::testing {
namespace {

// Collects the child's output pipes until both close.
void Drain(int out_fd, int err_fd, std::string* out, std::string* err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  int open_fds = (out_fd >= 0) + (err_fd >= 0);
  char buf[65536];
  while (open_fds > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      } else {
        (i == 0 ? out : err)->append(buf, static_cast<size_t>(n));
      }
    }
  }
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

Process::Process(const ProcessOptions& options) {
  // Everything the child needs is made before the fork: after it, the child
  // only calls what is safe in a copy of a threaded process.
  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* eq = strchr(*e, '=');
    if (eq != nullptr) env[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
  }
  for (const std::string& name : options.unsetEnv) env.erase(name);
  for (const auto& [k, v] : options.env) env[k] = v;
  std::vector<std::string> env_strings;
  for (const auto& [k, v] : env) env_strings.push_back(k + "=" + v);
  std::vector<std::string> args = options.args;
  std::vector<char*> argv = Pointers(args);
  std::vector<char*> envp = Pointers(env_strings);
  const std::string stdin_path = options.stdinFile.empty() ? "/dev/null" : options.stdinFile;

  int out_pipe[2], err_pipe[2], in_pipe[2] = {-1, -1};
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0 ||
      (options.stdinPipe && pipe2(in_pipe, O_CLOEXEC) != 0)) {
    result_.err = std::string("pipe: ") + strerror(errno);
    return;
  }
  const int out_file =
      options.stdoutFile.empty()
          ? -1
          : open(options.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    // A child outlives no test: it dies with the test process.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int in_fd = options.stdinPipe ? in_pipe[0] : open(stdin_path.c_str(), O_RDONLY);
    const int out_fd = options.stdoutFile.empty() ? out_pipe[1] : out_file;
    const int err_fd = options.stderrToStdout ? out_fd : err_pipe[1];
    if (in_fd < 0 || out_fd < 0 || dup2(in_fd, 0) < 0 || dup2(out_fd, 1) < 0 ||
        dup2(err_fd, 2) < 0) {
      _exit(127);
    }
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(127);
    if (options.addressSpaceLimit > 0 && !kAddressSanitizer) {
      const rlimit limit{options.addressSpaceLimit, options.addressSpaceLimit};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(127);
    }
    if (options.fileSizeLimit > 0) {
      const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    execvpe(argv[0], argv.data(), envp.data());
    const char kCannotRun[] = ": cannot be run\n";
    (void)!write(2, argv[0], strlen(argv[0]));
    (void)!write(2, kCannotRun, sizeof kCannotRun - 1);
    _exit(127);
  }
  if (out_file >= 0) close(out_file);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (options.stdinPipe) {
    close(in_pipe[0]);
    stdin_fd_ = in_pipe[1];
  }
  if (pid_ < 0) {
    result_.err = std::string("fork: ") + strerror(errno);
    close(out_pipe[0]);
    close(err_pipe[0]);
    CloseStdin();
    return;
  }
  int out_fd = out_pipe[0];
  if (options.stdoutClosed || !options.stdoutFile.empty()) {
    close(out_fd);
    out_fd = -1;
  }
  reader_ = std::thread(Drain, out_fd, err_pipe[0], &result_.out, &result_.err);
}

Process::~Process() {
  if (pid_ > 0 && !reaped_) kill(pid_, SIGKILL);
  Wait();
}

void Process::CloseStdin() {
  if (stdin_fd_ >= 0) close(stdin_fd_);
  stdin_fd_ = -1;
}

void Process::Signal(int sig) {
  if (pid_ > 0 && !reaped_) kill(pid_, sig);
}

void Process::Reap(int options) {
  if (pid_ <= 0 || reaped_) return;
  int status = 0;
  rusage usage{};
  pid_t got;
  while ((got = wait4(pid_, &status, options, &usage)) < 0 && errno == EINTR) {
  }
  if (got != pid_) return;
  reaped_ = true;
  result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result_.peakKiB = usage.ru_maxrss;
}

bool Process::Running() {
  Reap(WNOHANG);
  return pid_ > 0 && !reaped_;
}

bool Process::WaitUntilBlockedOnStdin() {
  const std::string proc = "/proc/" + std::to_string(pid_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    // SIGTERM (bit 14) among the caught signals, and asleep in read(0, ...).
    const std::string status = ReadText(proc + "/status");
    const size_t cgt = status.find("SigCgt:");
    const bool caught =
        cgt != std::string::npos && (std::stoull(status.substr(cgt + 7), nullptr, 16) & 0x4000);
    const std::string syscall = ReadText(proc + "/syscall");
    if (caught && syscall.rfind("0 0x0 ", 0) == 0) return true;
    usleep(2000);
  }
  return false;
}

ProcessResult Process::Stop(std::chrono::milliseconds grace) {
  Signal(SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + grace;
  while (Running() && std::chrono::steady_clock::now() < deadline) usleep(20 * 1000);
  Signal(SIGKILL);
  return Wait();
}

ProcessResult Process::Wait() {
  CloseStdin();
  Reap(0);
  if (reader_.joinable()) reader_.join();
  return result_;
}

ProcessResult RunProcess(const ProcessOptions& options) {
  Process process(options);
  return process.Wait();
}

}  // namespace zova::testing
