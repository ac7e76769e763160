#include "job/halftone_tool.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

extern char** environ;

namespace zova {

void RunHalftoneTool(const std::string& base, unsigned dpi, int mode) {
  std::string tool = "zova_ID";
  std::string dpi_text = std::to_string(dpi);
  std::string mode_text = std::to_string(mode);
  char* argv[] = {tool.data(), const_cast<char*>(base.c_str()), dpi_text.data(), mode_text.data(),
                  nullptr};

  // The tool shares stdout with the printer data: send ours first.
  fflush(stdout);
  // Stdin may carry the job's raster: the tool must not eat from it.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const int err = posix_spawnp(&pid, tool.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) {
    fprintf(stderr, "ERROR: Unable to run %s: %s\n", tool.c_str(), strerror(err));
    return;
  }
  int status = 0;
  // A cancel (SIGTERM) interrupts the wait; the tool still finishes its page.
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    fprintf(stderr, "DEBUG: %s exited with status %d\n", tool.c_str(), WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    fprintf(stderr, "DEBUG: %s was killed by signal %d\n", tool.c_str(), WTERMSIG(status));
  }
}

}  // namespace zova
