#include "textfilter/text_as_graphics.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cups/cups_raster_source.h"
#include "pipeline/child_process.h"
#include "pipeline/file_descriptor.h"

namespace zova {
namespace {

constexpr size_t kChainLength = std::size(kTextToRasterChain);

// The job's text options as texttopdf reads them: the queue's choice where
// the job gave none, ours where the job's was bad (the warning said so). A
// later value of a name wins in cupsParseOptions.
std::string ChainOptions(const char* job_options, const text::TextOptions& text) {
  static constexpr const char* kCpi[] = {"10", "12", "15", "17", "20"};
  std::string options = job_options;
  options += std::string(" cpi=") + kCpi[static_cast<int>(text.pitch)];
  options += text.spacing == text::LineSpacing::k8 ? " lpi=8" : " lpi=6";
  options += text.wrap ? " wrap=true" : " wrap=false";
  return options;
}

const char* Describe(const ChildStatus& status) {
  static thread_local char text[64];
  switch (status.kind) {
    case ChildStatus::kExited:
      snprintf(text, sizeof text, "stopped with status %d", status.code);
      break;
    case ChildStatus::kSignaled:
      snprintf(text, sizeof text, "was killed by signal %d", status.code);
      break;
    case ChildStatus::kNotStarted:
    case ChildStatus::kLost:
      snprintf(text, sizeof text, "could not run: %s", strerror(status.code));
      break;
  }
  return text;
}

}  // namespace

std::string CupsFilterDirectory() {
  const char* serverbin = getenv("CUPS_SERVERBIN");
  return std::string(serverbin != nullptr && serverbin[0] != '\0' ? serverbin
                                                                  : ZOVA_CUPS_SERVERBIN) +
         "/filter";
}

void PrintTextAsGraphics(JobScope& job, const FilterJob& filter, const text::TextOptions& text,
                         const std::vector<std::string>& argv) {
  Messages& messages = filter.messages;
  const std::string directory = CupsFilterDirectory();
  // The pipes between the programs; the last one carries the raster to us.
  std::array<FileDescriptor, kChainLength> reads, writes;
  for (size_t i = 0; i < kChainLength; ++i) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
      messages.Error("Unable to start the text-to-graphics chain: %s", strerror(errno));
      job.Fail();
      return;
    }
    reads[i] = FileDescriptor(fds[0]);
    writes[i] = FileDescriptor(fds[1]);
  }

  std::array<ChildProcess, kChainLength> children;
  for (size_t i = 0; i < kChainLength; ++i) {
    ChildOptions options;
    options.argv = {directory + "/" + kTextToRasterChain[i]};
    options.argv.insert(options.argv.end(), argv.begin() + 1, argv.begin() + 5);
    options.argv.push_back(ChainOptions(filter.jobOptions, text));
    // The file goes to the first program only; without one it reads ours.
    if (i == 0 && argv.size() > 6) options.argv.push_back(argv[6]);
    options.stdinFd = i == 0 ? (argv.size() > 6 ? -1 : filter.fd) : reads[i - 1].get();
    options.stdoutFd = writes[i].get();
    // Their messages go to cupsd as ours do. pdftopdf counts pages only
    // when PDF is what the printer gets, so the page log counts ours.
    options.env = {"FINAL_CONTENT_TYPE=application/vnd.cups-raster"};
    options.ownProcessGroup = true;
    if (const int error = children[i].Start(options); error != 0) {
      messages.Error("Unable to run %s: %s", options.argv[0].c_str(), strerror(error));
      job.Fail();
      return;  // the children started so far are stopped on the way out
    }
  }
  // Only the children hold the pipes now: an early end reaches the next.
  for (size_t i = 0; i < kChainLength; ++i) {
    writes[i] = FileDescriptor();
    if (i + 1 < kChainLength) reads[i] = FileDescriptor();
  }

  {
    CupsRasterSource source(reads[kChainLength - 1].get(), messages);
    if (source.ok()) job.Print(source);
  }
  // A job that stops early closes the raster, so the chain cannot block on it.
  reads[kChainLength - 1] = FileDescriptor();

  bool failed = false;
  for (size_t i = 0; i < kChainLength; ++i) {
    const ChildStatus status =
        job.failed() || job.canceled() ? children[i].Stop() : children[i].Wait(job.cancel());
    // One we stopped is no news; one that failed on its own is, always.
    if (job.canceled() || status.stoppedBy != ChildStatus::kNotStopped || status.succeeded()) {
      continue;
    }
    messages.Error("%s %s", kTextToRasterChain[i], Describe(status));
    failed = true;
  }
  if (failed) job.Fail();
}

}  // namespace zova
