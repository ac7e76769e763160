// rastertozova: CUPS filter for the ZOVA-QRT 24-pin dot-matrix printers.
//
//   rastertozova job-id user title copies options [file]
//
// Reads CUPS raster (24-bit RGB) from the file or stdin, the PPD from $PPD,
// and writes the printer's command stream to stdout.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "job/cancel.h"
#include "job/file_descriptor.h"
#include "job/job_context.h"
#include "job/ppd_file.h"
#include "job/raster_input.h"

namespace {

// Bands go out as soon as they are complete; a big buffer keeps the wide
// ones to one write each.
constexpr size_t kStdoutBufferSize = 64 * 1024;

// The job ID names the spool files in /tmp.
bool IsUsableJobId(const char* id) { return id[0] != '\0' && strchr(id, '/') == nullptr; }

}  // namespace

int main(int argc, char* argv[]) {
  using namespace zova;

  setbuf(stderr, nullptr);
  if (argc != 6 && argc != 7) {
    fprintf(stderr, "ERROR: Usage: %s job-id user title copies options [file]\n",
            argc > 0 ? argv[0] : "rastertozova");
    return 1;
  }
  if (!IsUsableJobId(argv[1])) {
    fprintf(stderr, "ERROR: Invalid job ID \"%s\"\n", argv[1]);
    return 1;
  }

  FileDescriptor input;
  int fd = 0;
  if (argc == 7) {
    input = FileDescriptor(open(argv[6], O_RDONLY | O_CLOEXEC));
    if (!input.valid()) {
      fprintf(stderr, "ERROR: Unable to open raster file %s: %s\n", argv[6], strerror(errno));
      sleep(1);
      return 1;
    }
    fd = input.get();
  }
  // Input that is not raster at all holds no page: the job goes on to its
  // end and fails like any job without pages.
  RasterInput raster(fd);
  if (raster.get() == nullptr) fputs("ERROR: The input is not a CUPS raster stream\n", stderr);

  JobContext job;
  job.ras = raster.get();
  job.printer.jobId = argv[1];
  job.printer.canceled = [] { return Canceled != 0; };
  Canceled = 0;
  InstallCancelHandler();
  // A printer stream that closes is reported as a failed write, not by a
  // silent death.
  signal(SIGPIPE, SIG_IGN);

  PpdPtr ppd = LoadPpd(getenv("PPD"));
  if (!ppd) return 1;
  job.printer.model = &PpdModel(ppd.get());
  job.printAs = ReadPrintAs(ppd.get(), argv[5]);

  static char stdout_buffer[kStdoutBufferSize];
  setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
  // The preamble goes out before the identity check: a printer that gets a
  // refused job still sees a clean start.
  Setup(job.printer.out);

  switch (CheckPpdIdentity(ppd.get())) {
    case PpdIdentity::kWrongProduct:
      fputs("ERROR: Brand Error\n", stderr);
      return 1;
    case PpdIdentity::kWrongManufacturer:
      fputs("ERROR: Manufac Error\n", stderr);
      return 1;
    case PpdIdentity::kZova:
      break;
  }

  int printed = 0;
  try {
    while (raster.ReadHeader(&job.header)) {
      if (Canceled) break;
      ++job.page;
      const PageResult result = ProcessPage(job);
      if (result == PageResult::kFailed) return 1;
      if (result == PageResult::kPrinted) {
        ++printed;
        // Page accounting for the scheduler: this filter is last in its chain.
        fprintf(stderr, "PAGE: %d 1\n", printed);
      }
      if (Canceled) break;
    }
  } catch (const std::bad_alloc&) {
    // The page's spool files are gone with it.
    fprintf(stderr, "ERROR: Out of memory on page %d\n", job.page);
    return 1;
  }

  if (!Shutdown(job.printer.out)) return 1;
  if (printed == 0 && !Canceled) fputs("ERROR: No page was printed\n", stderr);
  return printed > 0 ? 0 : 1;
}
