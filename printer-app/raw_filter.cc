// A raw job goes to the printer byte for byte: a command left open there
// (a bit image of 65535 columns in ten bytes) would take the next job's
// preamble and page as its data. So the document must decode whole, as a
// stream the filter writes, before it is sent. The decoder reads the file
// as it goes and holds one page, never the document.
#include "raw_filter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "callback_guard.h"
#include "job_order.h"
#include "pipeline/file_descriptor.h"
#include "preview/stream_decoder.h"
#include "raster_callbacks.h"

namespace zova::app {
namespace {

struct OptionsDeleter {
  void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};

void Refuse(pappl_job_t* job, const std::string& why) {
  papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", why.c_str());
  papplJobSetMessage(job, "%s", why.c_str());
  papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
}

bool CheckAndPrint(pappl_job_t* job, pappl_device_t* device) {
  const JobClaim claim(job);
  if (claim.printedElsewhere()) return true;
  const FileDescriptor file = OpenJobDocument(job);
  if (!file.valid()) return false;
  bool canceled = false;
  int read_error = 0;
  const preview::StreamReader read = [&](uint8_t* buffer, size_t size) -> ptrdiff_t {
    if ((canceled = papplJobIsCanceled(job))) return -1;
    ssize_t n;
    do {
      n = ::read(file.get(), buffer, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) read_error = errno;
    return n;
  };
  const preview::DecodeResult result =
      preview::DecodeIncrementally(read, [](preview::DecodedPage) { return true; });
  if (canceled) return true;
  if (result.read_failed) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to read the job's document: %s",
                strerror(read_error));
    return false;
  }
  if (result.error) {
    Refuse(job, "Not a ZOVA-QRT printer stream, nothing was printed: at byte " +
                    std::to_string(result.error->offset) + ", " + result.error->message + ".");
    return false;
  }
  // Then as PAPPL sends a raw job: the driver's own callback, one impression.
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  papplJobSetImpressions(job, 1);
  const std::unique_ptr<pappl_pr_options_t, OptionsDeleter> options(
      papplJobCreatePrintOptions(job, 0, false));
  if (!options || !data.printfile_cb(job, options.get(), device)) return false;
  papplJobSetImpressionsCompleted(job, 1);
  return true;
}

bool RawFilter(pappl_job_t* job, pappl_device_t* device, void* /*data*/) {
  return Guarded(job, [&] { return CheckAndPrint(job, device); });
}

}  // namespace

void AddRawFilter(pappl_system_t* system) {
  papplSystemAddMIMEFilter(system, kRawFormat, kRawFormat, RawFilter, nullptr);
}

}  // namespace zova::app
