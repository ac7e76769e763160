#include "job/halftone_tool.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

extern char** environ;

namespace zova {

namespace {

// Waits for the child, passing a cancel on as SIGTERM. A pidfd wakes the wait
// when the child ends; without one, the child is polled.
int WaitForTool(pid_t pid, const std::function<bool()>& canceled) {
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  bool stopped = false;
  int status = 0;
  for (;;) {
    if (!stopped && canceled()) {
      kill(pid, SIGTERM);
      stopped = true;
    }
    if (pidfd >= 0) {
      pollfd ended{pidfd, POLLIN, 0};
      poll(&ended, 1, 100);
    } else {
      usleep(20 * 1000);
    }
    const pid_t got = waitpid(pid, &status, WNOHANG);
    if (got == pid || (got < 0 && errno != EINTR)) break;
  }
  if (pidfd >= 0) close(pidfd);
  return status;
}

}  // namespace

ToolResult RunHalftoneTool(const std::string& tool, const std::string& base, unsigned dpi, int mode,
                           const std::function<bool()>& canceled, unsigned ydpi) {
  std::string name = tool;
  std::string dpi_text = std::to_string(dpi);
  std::string mode_text = std::to_string(mode);
  std::string ydpi_text = std::to_string(ydpi);
  char* argv[] = {name.data(),      const_cast<char*>(base.c_str()),
                  dpi_text.data(),  mode_text.data(),
                  ydpi_text.data(), nullptr};
  // The tool takes rows 1/180 in apart when told nothing.
  if (ydpi == 180) argv[4] = nullptr;

  // The tool shares stdout with the printer data: send ours first.
  fflush(stdout);
  // Stdin may carry the job's raster: the tool must not eat from it.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  // The filter ignores SIGPIPE to report a closed printer stream itself; the
  // tool starts with the default.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int err = posix_spawnp(&pid, name.c_str(), &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) {
    fprintf(stderr, "ERROR: Unable to run %s: %s\n", name.c_str(), strerror(err));
    return {};
  }
  const int status = WaitForTool(pid, canceled);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {ToolResult::kSucceeded, 0};
  if (WIFSIGNALED(status)) {
    fprintf(stderr, "DEBUG: %s was killed by signal %d\n", name.c_str(), WTERMSIG(status));
    return {ToolResult::kKilled, WTERMSIG(status)};
  }
  fprintf(stderr, "DEBUG: %s exited with status %d\n", name.c_str(), WEXITSTATUS(status));
  return {ToolResult::kFailed, WEXITSTATUS(status)};
}

}  // namespace zova
