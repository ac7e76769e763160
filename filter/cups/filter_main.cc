#include "cups/filter_main.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cups/ppd_file.h"
#include "cups/stderr_messages.h"
#include "pipeline/file_descriptor.h"
#include "pipeline/job_scope.h"

namespace zova {
namespace {

// Set by SIGTERM, which CUPS sends when the user cancels the job.
volatile sig_atomic_t Canceled = 0;

// Only records the request; the page loop and both row loops of a page ask.
void CancelJob(int /*sig*/) { Canceled = 1; }

// No flags, so a blocked wait returns early.
void InstallCancelHandler() {
  struct sigaction action = {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  action.sa_handler = CancelJob;
  sigaction(SIGTERM, &action, nullptr);
}

// Bands go out as soon as they are complete; a big buffer keeps the wide
// ones to one write each.
constexpr size_t kStdoutBufferSize = 64 * 1024;

// The job ID names the spool files in /tmp.
bool IsUsableJobId(const char* id) { return id[0] != '\0' && strchr(id, '/') == nullptr; }

}  // namespace

int RunFilterJob(int argc, char* argv[], const char* program, const FilterInput& input) {
  StderrMessages messages;
  if (argc != 6 && argc != 7) {
    messages.Error("Usage: %s job-id user title copies options [file]",
                   argc > 0 ? argv[0] : program);
    return 1;
  }
  if (!IsUsableJobId(argv[1])) {
    messages.Error("Invalid job ID \"%s\"", argv[1]);
    return 1;
  }

  FileDescriptor file;
  int fd = 0;
  if (argc == 7) {
    file = FileDescriptor(open(argv[6], O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
      messages.Error("Unable to open %s %s: %s", input.what, argv[6], strerror(errno));
      sleep(1);
      return 1;
    }
    fd = file.get();
  }
  const std::unique_ptr<PageSource> source = input.open ? input.open(fd, messages) : nullptr;

  Canceled = 0;
  InstallCancelHandler();
  // A printer stream that closes is reported as a failed write, not by a
  // silent death.
  signal(SIGPIPE, SIG_IGN);

  PpdPtr ppd = LoadPpd(getenv("PPD"), messages);
  if (!ppd) return 1;
  WarnUnknownChoices(ppd.get(), argv[5], messages);
  const CancelToken cancel([] { return Canceled != 0; });
  JobSettings settings;
  settings.model = &PpdModel(ppd.get());
  settings.printAs = ReadPrintAs(ppd.get(), argv[5], messages);
  settings.offsets = ReadOffsets(ppd.get(), argv[5], messages);
  settings.stream = ReadStreamChoices(ppd.get(), argv[5], messages);
  settings.jobId = argv[1];
  settings.halftone = ToolHalftoner(HalftoneTool{}, cancel, messages);
  int status = 0;
  if (input.prepare && !input.prepare(*source, ppd.get(), argv[5], settings, status)) {
    return status;
  }
  const JobSettings job_settings = settings;

  static char stdout_buffer[kStdoutBufferSize];
  setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
  OutputState out(stdout, messages);
  JobScope job(std::move(settings), out, messages, cancel);
  // The preamble goes out before the identity check: a printer that gets a
  // refused job still sees a clean start, and nothing more.
  const std::function<void()> print = [&] {
    if (!input.print) {
      job.Print(*source);
      return;
    }
    input.print(job, {fd, ppd.get(), argv[5], atoi(argv[4]), job_settings, messages,
                      std::vector<std::string>(argv, argv + argc)});
  };
  const JobResult result = RunJob(job, print, [&] {
    switch (CheckPpdIdentity(ppd.get())) {
      case PpdIdentity::kWrongProduct:
        messages.Error("Brand Error");
        return false;
      case PpdIdentity::kWrongManufacturer:
        messages.Error("Manufac Error");
        return false;
      case PpdIdentity::kZova:
        break;
    }
    return true;
  });
  return !result.failed && result.pages > 0 && out.ok() ? 0 : 1;
}

}  // namespace zova
