#include "job/halftone_tool.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

extern char** environ;

namespace zova {

ToolResult RunHalftoneTool(const std::string& tool, const std::string& base, unsigned dpi,
                           int mode) {
  std::string name = tool;
  std::string dpi_text = std::to_string(dpi);
  std::string mode_text = std::to_string(mode);
  char* argv[] = {name.data(), const_cast<char*>(base.c_str()), dpi_text.data(), mode_text.data(),
                  nullptr};

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
  int status = 0;
  // A cancel (SIGTERM) interrupts the wait; the tool still finishes its page.
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {ToolResult::kSucceeded, 0};
  if (WIFSIGNALED(status)) {
    fprintf(stderr, "DEBUG: %s was killed by signal %d\n", name.c_str(), WTERMSIG(status));
    return {ToolResult::kKilled, WTERMSIG(status)};
  }
  fprintf(stderr, "DEBUG: %s exited with status %d\n", name.c_str(), WEXITSTATUS(status));
  return {ToolResult::kFailed, WEXITSTATUS(status)};
}

}  // namespace zova
