#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>

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

}  // namespace

Process::Process(const ProcessOptions& options) { Start(options); }

void Process::Start(const ProcessOptions& options) {
  ChildOptions child;
  child.argv = options.args;
  for (const auto& [k, v] : options.env) child.env.push_back(k + "=" + v);
  child.unsetEnv = options.unsetEnv;
  child.workingDirectory = options.cwd;
  // A sanitized child reserves terabytes for its shadow memory.
  if (!kAddressSanitizer) child.memoryLimit = options.addressSpaceLimit;
  child.fileSizeLimit = options.fileSizeLimit;

  // The parent's ends are ours; the child's ends close once it has them.
  int out_pipe[2], err_pipe[2], in_pipe[2] = {-1, -1};
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return Fail(std::string("pipe: ") + strerror(errno));
  FileDescriptor out_read(out_pipe[0]), out_write(out_pipe[1]);
  if (pipe2(err_pipe, O_CLOEXEC) != 0) return Fail(std::string("pipe: ") + strerror(errno));
  FileDescriptor err_read(err_pipe[0]), err_write(err_pipe[1]);
  if (options.stdinPipe && pipe2(in_pipe, O_CLOEXEC) != 0) {
    return Fail(std::string("pipe: ") + strerror(errno));
  }
  FileDescriptor in_read(in_pipe[0]), in_file, out_file;
  stdin_fd_ = in_pipe[1];
  if (!options.stdinFile.empty()) {
    in_file = FileDescriptor(open(options.stdinFile.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in_file.valid()) return Fail(options.stdinFile + ": " + strerror(errno));
  }
  if (!options.stdoutFile.empty()) {
    out_file = FileDescriptor(
        open(options.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out_file.valid()) return Fail(options.stdoutFile + ": " + strerror(errno));
  }
  child.stdinFd = options.stdinPipe ? in_read.get() : in_file.valid() ? in_file.get() : -1;
  child.stdoutFd = out_file.valid() ? out_file.get() : out_write.get();
  child.stderrFd = options.stderrToStdout ? child.stdoutFd : err_write.get();
  stdin_fd_ = in_pipe[1];
  if (options.stdoutClosed || out_file.valid()) out_read = FileDescriptor();
  if (const int error = child_.Start(child); error != 0) {
    return Fail(options.args.at(0) + ": cannot be run: " + strerror(error));
  }
  pid_ = child_.pid();
  // The reader closes the pipes' read ends when they end.
  reader_ = std::thread(Drain, out_read.Release(), err_read.Release(), &result_.out, &result_.err);
}

void Process::Fail(const std::string& why) {
  result_.err = why + "\n";
  result_.status = 127;
  reaped_ = true;
}

Process::~Process() {
  Signal(SIGKILL);
  Wait();
}

void Process::CloseStdin() {
  if (stdin_fd_ >= 0) close(stdin_fd_);
  stdin_fd_ = -1;
}

void Process::Signal(int sig) {
  if (Running()) kill(pid_, sig);
}

void Process::Record(const ChildStatus& status) {
  reaped_ = true;
  result_.status = status.kind == ChildStatus::kExited     ? status.code
                   : status.kind == ChildStatus::kSignaled ? 128 + status.code
                                                           : 127;
  result_.peakKiB = status.peakKb;
}

bool Process::Running() {
  if (reaped_) return false;
  if (const std::optional<ChildStatus> ended = child_.Poll()) Record(*ended);
  return !reaped_;
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
  if (!reaped_) Record(child_.Stop(grace));
  return Wait();
}

ProcessResult Process::Wait() {
  CloseStdin();
  if (!reaped_) Record(child_.Wait());
  if (reader_.joinable()) reader_.join();
  return result_;
}

ProcessResult RunProcess(const ProcessOptions& options) {
  Process process(options);
  return process.Wait();
}

}  // namespace zova::testing
