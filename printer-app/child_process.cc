#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace zova::app {
namespace {

// A child that ignores SIGTERM gets this long before SIGKILL.
constexpr auto kTermGrace = std::chrono::seconds(2);

}  // namespace

ChildProcess::~ChildProcess() { Stop(); }

int ChildProcess::Start(const std::vector<std::string>& argv, int err_fd) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return errno;
  FileDescriptor read_end(fds[0]);
  FileDescriptor write_end(fds[1]);

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, write_end.get(), 1);
  posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
  const int err = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) {
    pid_ = -1;
    return err;
  }
  output_ = std::move(read_end);
  return 0;
}

int ChildProcess::Wait() {
  if (pid_ < 0) return -1;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  output_ = FileDescriptor();
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void ChildProcess::Stop() {
  if (pid_ < 0) return;
  // Closing our end first: a child blocked on a full pipe sees EPIPE.
  output_ = FileDescriptor();
  kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kTermGrace;
  while (waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = -1;
}

}  // namespace zova::app
