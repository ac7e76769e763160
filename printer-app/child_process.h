// A child program started without a shell whose standard output the parent
// reads through a pipe. The child is ended and reaped on every path out.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "job/file_descriptor.h"

namespace zova::app {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] (a path, or a name found on PATH) with standard input
  // from /dev/null, standard output into a pipe and standard error to
  // `err_fd`. Returns 0, or the error number.
  int Start(const std::vector<std::string>& argv, int err_fd);
  // The read end of the child's standard output.
  int output() const { return output_.get(); }
  // Waits for the child; its exit status, or 128 + the signal that ended it.
  int Wait();
  // Ends the child now (SIGTERM, then SIGKILL) and reaps it.
  void Stop();

 private:
  pid_t pid_ = -1;
  FileDescriptor output_;
};

}  // namespace zova::app
