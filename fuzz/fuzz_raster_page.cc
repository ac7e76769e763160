// The filter's whole page pipeline on any raster, in process: page headers,
// the checks against the printer's limits, spooling, classification, every
// print-as choice, the halftoning (the tool's library, called in place),
// thresholding, reduction and the bands. The printer stream goes nowhere; the
// spool files must be gone after every job.
#include <dirent.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "cups/cups_raster_source.h"
#include "pipeline/job_scope.h"
#include "pipeline/page_request.h"
#include "zova_ID/halftone.h"

namespace {

// The spool lives in memory, in a directory of the fuzzer's own.
std::string spool_directory;

void RemoveSpoolDirectory() { rmdir(spool_directory.c_str()); }

bool SpoolFilesLeft() {
  bool left = false;
  if (DIR* dir = opendir(spool_directory.c_str())) {
    while (dirent* entry = readdir(dir)) left |= entry->d_name[0] != '.';
    closedir(dir);
  }
  return left;
}

// The raster's pages within a budget of work per run: a few bytes of
// raster can declare a page of millions of pixels, whose missing rows print
// white, and libFuzzer needs runs of milliseconds. A printable page larger
// than kMaxPixels ends the run; a page beyond the printer's limits still
// reaches the driver, which refuses it; no more than kMaxBytes of rows are
// read or skipped.
class BoundedSource : public zova::PageSource {
 public:
  explicit BoundedSource(zova::CupsRasterSource& in) : in_(in) {}

  bool NextPage(cups_page_header2_t& header) override {
    if (exhausted_ || !in_.NextPage(header)) return false;
    zova::NoMessages quiet;
    const std::optional<zova::PageRequest> request =
        zova::RequestFromHeader(header, zova::PrintAs::kAuto, 1, quiet);
    const bool printable = request && zova::CheckPageRequest(*request, 1, quiet);
    return !printable || uint64_t{header.cupsWidth} * header.cupsHeight <= kMaxPixels;
  }

  bool ReadRow(std::span<uint8_t> row) override {
    bytes_ += row.size();
    return bytes_ <= kMaxBytes && in_.ReadRow(row);
  }

  void SkipPage(const cups_page_header2_t& header, const zova::CancelToken& cancel) override {
    const uint64_t page = uint64_t{header.cupsBytesPerLine} * header.cupsHeight;
    if (page > kMaxBytes - std::min(bytes_, kMaxBytes)) {
      exhausted_ = true;
      return;
    }
    bytes_ += page;
    in_.SkipPage(header, cancel);
  }

 private:
  static constexpr uint64_t kMaxPixels = uint64_t{1} << 18;
  static constexpr uint64_t kMaxBytes = uint64_t{8} << 20;
  zova::CupsRasterSource& in_;
  uint64_t bytes_ = 0;
  bool exhausted_ = false;
};

}  // namespace

// libcups allocates a row of whatever size a page header claims, and the
// sanitizer's allocator fills it: such a header fails fast instead, as it
// does where memory runs out.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=64";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/dev/shm/zova-fuzz-XXXXXX";
  if (mkdtemp(dir) == nullptr) abort();
  spool_directory = dir;
  atexit(RemoveSpoolDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the print-as choice (its low two bits), the head
  // travel and the form length (the next two); the rest is the raster.
  const zova::PrintAs print_as = static_cast<zova::PrintAs>(data[0] % 4);
  const zova::StreamChoices stream = {
      data[0] & 4 ? zova::HeadTravel::kInked : zova::HeadTravel::kFull,
      data[0] & 8 ? zova::FormLength::kExact : zova::FormLength::kLines};
  const int fd = memfd_create("raster", MFD_CLOEXEC);
  if (fd < 0 || write(fd, data + 1, size - 1) != static_cast<ssize_t>(size - 1) ||
      lseek(fd, 0, SEEK_SET) != 0) {
    abort();
  }
  FILE* sink = fopen("/dev/null", "w");
  {
    zova::NoMessages messages;
    zova::CupsRasterSource cups_raster(fd, messages);
    BoundedSource raster(cups_raster);
    zova::JobSettings settings;
    settings.printAs = print_as;
    settings.stream = stream;
    settings.spoolDirectory = spool_directory;
    settings.jobId = "fuzz";
    settings.halftone = [](const std::string& base, const zova::PictureSource& picture) {
      zova::HalftoneRequest request;
      request.base = base;
      request.dpi = static_cast<int>(picture.dpi.x);
      request.ydpi = static_cast<int>(picture.rowPitch);
      request.mode = picture.screen;
      static const volatile std::sig_atomic_t never = 0;
      const bool done = zova::RunHalftone(request, never) == zova::kExitOk;
      return zova::ToolResult{done ? zova::ToolResult::kSucceeded : zova::ToolResult::kFailed,
                              done ? 0 : zova::kExitFailed};
    };
    zova::OutputState out(sink, messages);
    zova::JobScope job(std::move(settings), out, messages, zova::CancelToken());
    zova::RunJob(job, raster);
  }
  fclose(sink);
  close(fd);
  if (SpoolFilesLeft()) abort();
  return 0;
}
