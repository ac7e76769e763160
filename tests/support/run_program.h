// Runs a built program as a child process and collects what it wrote.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace zova::testing {

struct ProgramResult {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;  // standard output
  std::string err;  // standard error
};

// Starts the program with its standard output and error going to the given
// descriptors and standard input from /dev/null. Returns the pid, or -1.
inline pid_t SpawnProgram(const std::vector<std::string>& args, int out_fd, int err_fd) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// Waits for the child; the exit status, or 128 + the signal that ended it.
inline int WaitProgram(pid_t pid) {
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

inline std::string ReadAll(FILE* f) {
  std::string s;
  rewind(f);
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
  return s;
}

// Output streams of a child in anonymous temporary files: no pipe to drain
// while it runs.
class CapturedOutput {
 public:
  CapturedOutput() : out_(tmpfile()), err_(tmpfile()) {}
  ~CapturedOutput() {
    fclose(out_);
    fclose(err_);
  }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  int out_fd() const { return fileno(out_); }
  int err_fd() const { return fileno(err_); }
  ProgramResult Collect(int status) { return {status, ReadAll(out_), ReadAll(err_)}; }

 private:
  FILE* out_;
  FILE* err_;
};

// Runs the program to its end; args[0] is its path.
inline ProgramResult RunProgram(const std::vector<std::string>& args) {
  CapturedOutput output;
  const pid_t pid = SpawnProgram(args, output.out_fd(), output.err_fd());
  if (pid < 0) return {};
  return output.Collect(WaitProgram(pid));
}

}  // namespace zova::testing
