#include "cups/cups_chain.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cups/cups_raster_source.h"
#include "pipeline/file_descriptor.h"

namespace zova {

std::string CupsFilterDirectory() {
  const char* serverbin = getenv("CUPS_SERVERBIN");
  return std::string(serverbin != nullptr && serverbin[0] != '\0' ? serverbin
                                                                  : ZOVA_CUPS_SERVERBIN) +
         "/filter";
}

void PrintThroughCupsFilters(JobScope& job, const FilterJob& filter,
                             std::span<const char* const> programs, const std::string& options) {
  Messages& messages = filter.messages;
  const std::vector<std::string>& argv = filter.argv;
  const std::string directory = CupsFilterDirectory();
  const size_t count = programs.size();
  // The pipes between the programs; the last one carries the raster to us.
  std::vector<FileDescriptor> reads(count), writes(count);
  for (size_t i = 0; i < count; ++i) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
      messages.Error("Unable to start %s: %s", programs[i], strerror(errno));
      job.Fail();
      return;
    }
    reads[i] = FileDescriptor(fds[0]);
    writes[i] = FileDescriptor(fds[1]);
  }

  std::vector<ChildProcess> children(count);
  for (size_t i = 0; i < count; ++i) {
    ChildOptions child;
    child.argv = {directory + "/" + programs[i]};
    child.argv.insert(child.argv.end(), argv.begin() + 1, argv.begin() + 5);
    child.argv.push_back(options);
    // The file goes to the first program only; without one it reads ours.
    if (i == 0 && argv.size() > 6) child.argv.push_back(argv[6]);
    child.stdinFd = i == 0 ? (argv.size() > 6 ? -1 : filter.fd) : reads[i - 1].get();
    child.stdoutFd = writes[i].get();
    // Their messages go to cupsd as ours do. pdftopdf counts pages only
    // when PDF is what the printer gets, so the page log counts ours.
    child.env = {"FINAL_CONTENT_TYPE=application/vnd.cups-raster"};
    child.ownProcessGroup = true;
    if (const int error = children[i].Start(child); error != 0) {
      messages.Error("Unable to run %s: %s", child.argv[0].c_str(), strerror(error));
      job.Fail();
      return;  // the children started so far are stopped on the way out
    }
  }
  // Only the children hold the pipes now: an early end reaches the next.
  for (size_t i = 0; i < count; ++i) {
    writes[i] = FileDescriptor();
    if (i + 1 < count) reads[i] = FileDescriptor();
  }

  {
    CupsRasterSource source(reads[count - 1].get(), messages);
    if (source.ok()) job.Print(source);
  }
  // A job that stops early closes the raster, so the chain cannot block on it.
  reads[count - 1] = FileDescriptor();

  bool failed = false;
  for (size_t i = 0; i < count; ++i) {
    const ChildStatus status =
        job.failed() || job.canceled() ? children[i].Stop() : children[i].Wait(job.cancel());
    // One we stopped is no news; one that failed on its own is, always.
    if (job.canceled() || status.stoppedBy != ChildStatus::kNotStopped || status.succeeded()) {
      continue;
    }
    messages.Error("%s %s", programs[i], DescribeExit(status).c_str());
    failed = true;
  }
  if (failed) job.Fail();
}

}  // namespace zova
