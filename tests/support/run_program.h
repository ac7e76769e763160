// Runs a built program as a child process and collects what it wrote.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
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

// AddressSanitizer reserves terabytes of address space for its shadow, so a
// sanitized child cannot run under an address-space limit.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
inline constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
inline constexpr bool kAddressSanitizer = false;
#endif

// What a child may use, and what its environment adds.
struct ChildLimits {
  rlim_t address_space = RLIM_INFINITY;  // bytes; not applied under AddressSanitizer
  rlim_t file_size = RLIM_INFINITY;      // bytes; a larger write kills it with SIGXFSZ
  std::vector<std::pair<std::string, std::string>> env;
};

// Runs the program to its end within `limits`; args[0] is its path.
inline ProgramResult RunProgramWithin(const std::vector<std::string>& args,
                                      const ChildLimits& limits) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  CapturedOutput output;
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    if (in < 0 || dup2(in, 0) < 0 || dup2(output.out_fd(), 1) < 0 || dup2(output.err_fd(), 2) < 0)
      _exit(127);
    const rlimit as{limits.address_space, limits.address_space};
    const rlimit fsize{limits.file_size, limits.file_size};
    if ((!kAddressSanitizer && setrlimit(RLIMIT_AS, &as) != 0) ||
        setrlimit(RLIMIT_FSIZE, &fsize) != 0)
      _exit(127);
    for (const auto& [name, value] : limits.env) setenv(name.c_str(), value.c_str(), 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return {};
  return output.Collect(WaitProgram(pid));
}

}  // namespace zova::testing
