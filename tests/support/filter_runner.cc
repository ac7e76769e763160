#include "support/filter_runner.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace zova::testing {
namespace {

void Drain(int out_fd, int err_fd, FilterResult* result) {
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
      } else if (i == 0) {
        result->out.insert(result->out.end(), buf, buf + n);
      } else {
        result->err.append(buf, static_cast<size_t>(n));
      }
    }
  }
}

// Decodes what the filter wrote and fails the test if the printer could not
// parse it.
void CheckStream(FilterResult* result) {
  result->decoded = preview::DecodeStream(result->out);
  const std::optional<preview::StreamError>& error = result->decoded.error;
  if (!error || result->status < 0) return;
  if (result->status == 0) {
    ADD_FAILURE() << "the printer stream does not decode: byte " << error->offset << ": "
                  << error->message;
  } else if (error->offset != result->out.size()) {
    ADD_FAILURE() << "the failed job's stream breaks off before its end: byte " << error->offset
                  << ": " << error->message;
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

FilterProcess::FilterProcess(const FilterOptions& options) {
  int out_pipe[2], err_pipe[2], in_pipe[2] = {-1, -1};
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options.stdinPipe) {
    if (pipe2(in_pipe, O_CLOEXEC) != 0) abort();
    posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
  } else {
    const std::string in = options.stdinFile.empty() ? "/dev/null" : options.stdinFile;
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  }
  if (options.stdoutFile.empty()) {
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, options.stdoutFile.c_str(), O_WRONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);

  // Environment: ours, with PPD and the extras replaced.
  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* eq = strchr(*e, '=');
    if (eq != nullptr) env[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
  }
  env.erase("PPD");
  if (options.ppdSet) env["PPD"] = options.ppd;
  for (const auto& [k, v] : options.env) env[k] = v;
  std::vector<std::string> env_strings;
  for (const auto& [k, v] : env) env_strings.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (std::string& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::vector<std::string> args = options.args;
  args.insert(args.begin(), ZOVA_FILTER_PATH);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  if (posix_spawn(&pid_, ZOVA_FILTER_PATH, &actions, nullptr, argv.data(), envp.data()) != 0) {
    abort();
  }
  posix_spawn_file_actions_destroy(&actions);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (options.stdinPipe) {
    close(in_pipe[0]);
    stdin_fd_ = in_pipe[1];
  }
  out_fd_ = out_pipe[0];
  if (options.stdoutClosed || !options.stdoutFile.empty()) {
    close(out_fd_);
    out_fd_ = -1;
  }
  err_fd_ = err_pipe[0];
  reader_ = std::thread(Drain, out_fd_, err_fd_, &result_);
}

FilterProcess::~FilterProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    Wait();
  }
}

void FilterProcess::CloseStdin() {
  if (stdin_fd_ >= 0) close(stdin_fd_);
  stdin_fd_ = -1;
}

bool FilterProcess::WaitUntilBlockedOnStdin() {
  const std::string proc = "/proc/" + std::to_string(pid_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    // SIGTERM (bit 14) among the caught signals, and asleep in read(0, ...).
    const std::string status = ReadFile(proc + "/status");
    const size_t cgt = status.find("SigCgt:");
    const bool caught =
        cgt != std::string::npos && (std::stoull(status.substr(cgt + 7), nullptr, 16) & 0x4000);
    const std::string syscall = ReadFile(proc + "/syscall");
    if (caught && syscall.rfind("0 0x0 ", 0) == 0) return true;
    usleep(2000);
  }
  return false;
}

void FilterProcess::Signal(int sig) { kill(pid_, sig); }

FilterResult FilterProcess::Wait() {
  CloseStdin();
  if (pid_ > 0) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
  }
  if (reader_.joinable()) {
    reader_.join();
    CheckStream(&result_);
  }
  return result_;
}

FilterResult RunFilter(const FilterOptions& options) {
  FilterProcess process(options);
  return process.Wait();
}

std::vector<std::string> FilterArgs(const std::string& job_id, const std::string& file) {
  std::vector<std::string> args = {job_id, "tester", "title", "1", ""};
  if (!file.empty()) args.push_back(file);
  return args;
}

std::vector<std::string> SpoolFilesOf(const std::string& job_id) {
  std::vector<std::string> found;
  const std::string prefix = "nfet" + job_id + "_";
  if (DIR* dir = opendir("/tmp")) {
    while (dirent* entry = readdir(dir)) {
      if (strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) {
        found.push_back(std::string("/tmp/") + entry->d_name);
      }
    }
    closedir(dir);
  }
  return found;
}

std::string UniqueJobId(const std::string& tag) {
  static int counter = 0;
  return tag + std::to_string(getpid()) + "x" + std::to_string(++counter);
}

}  // namespace zova::testing
