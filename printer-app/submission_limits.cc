// What waits is bounded at submission, before PAPPL takes a byte of the
// document: a job refused later has already filled the spool. The HTTP
// status is all the access callback can answer with; libcups reports 413 as
// client-error-request-entity-too-large (as cupsd's MaxRequestSize) and 503
// as server-error-service-unavailable, which clients retry later. A full
// printer is PAPPL's own max-active-jobs: it answers server-error-busy, also
// to the owner's local socket, which never reaches the access callback.
#include "submission_limits.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "callback_guard.h"
#include "image_documents.h"
#include "pappl_fixes/pappl_fixes.h"
#include "raw_filter.h"
#include "request_checks.h"
#include "server_options.h"

namespace zova::app {
namespace {

struct Limits {
  // A form, a statement or a scanned page at 360 dpi is a few MB; this is
  // a tenth of a 1 GB spool.
  uint64_t maxDocument = uint64_t{100} << 20;
  // Hours of a counter's work at a few jobs a minute.
  int maxJobs = 100;
  // What the jobs in hand need beside their documents: the largest page
  // the pipeline spools (15 x 22 in at 360 dpi, RGB) is 128 MiB, and the
  // state file, journal and log must still be written.
  uint64_t spoolReserve = uint64_t{512} << 20;
  std::string spool;
};
Limits limits;

constexpr uint64_t kMiB = uint64_t{1} << 20;

std::string Size(uint64_t bytes) {
  char text[32];
  if (bytes >= kMiB) {
    snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / kMiB);
  } else {
    snprintf(text, sizeof text, "%" PRIu64 " bytes", bytes);
  }
  return text;
}

// "1048576", "1024K", "100M", "2G".
bool ParseBytes(const char* value, uint64_t min, uint64_t max, uint64_t* bytes) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long number = strtoull(value, &end, 10);
  if (errno != 0 || end == value || *value == '-') return false;
  unsigned shift = 0;
  if (*end != '\0') {
    const char* units = "KMG";
    const char* unit = strchr(units, *end);
    if (unit == nullptr || end[1] != '\0') return false;
    shift = 10 * static_cast<unsigned>(unit - units + 1);
  }
  if (number > (max >> shift)) return false;
  *bytes = static_cast<uint64_t>(number) << shift;
  return *bytes >= min;
}

bool ByteOption(const char* name, const char* value, uint64_t min, uint64_t max, uint64_t* out) {
  if (value == nullptr) return true;
  if (ParseBytes(value, min, max, out)) return true;
  fprintf(stderr, "ERROR: Bad %s value \"%s\" (%s to %s, bytes or with K, M or G)\n", name, value,
          Size(min).c_str(), Size(max).c_str());
  return false;
}

// The spool's free space for the application, 0 when it cannot be had.
uint64_t FreeSpace() {
  struct statvfs fs {};
  if (statvfs(limits.spool.c_str(), &fs) != 0) return 0;
  return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
}

void ApplyMaxJobs(pappl_printer_t* printer, void* /*data*/) {
  if (papplPrinterGetMaxActiveJobs(printer) != limits.maxJobs) {
    papplPrinterSetMaxActiveJobs(printer, limits.maxJobs);
  }
}

// Printers loaded from the state file or added since: within a second.
bool ApplyMaxJobsToAll(pappl_system_t* system, void* /*data*/) {
  papplSystemIteratePrinters(system, ApplyMaxJobs, nullptr);
  return true;
}

}  // namespace

bool AddJobLimits(pappl_system_t* system, int num_options, cups_option_t* options,
                  const std::string& spool_directory) {
  const auto option = [&](const char* name) { return cupsGetOption(name, num_options, options); };
  uint64_t image_memory = kDefaultImageMemory;
  if (!ByteOption("max-document-size", option("max-document-size"), 1024, uint64_t{1} << 40,
                  &limits.maxDocument) ||
      !ByteOption("spool-reserve", option("spool-reserve"), 0, uint64_t{1} << 50,
                  &limits.spoolReserve) ||
      !ByteOption("image-memory", option("image-memory"), kMiB, uint64_t{64} << 30,
                  &image_memory)) {
    return false;
  }
  long max_jobs = limits.maxJobs;
  if (!WholeNumberOption(num_options, options, "max-jobs", 1, 100000, &max_jobs)) return false;
  limits.maxJobs = static_cast<int>(max_jobs);
  limits.spool = spool_directory;
  SetImageMemory(static_cast<size_t>(image_memory));
  // PAPPL's own limit only says what its image filters, replaced by ours,
  // would take (a state file of an earlier run may set it again). At start,
  // never from a timer (pappl_fixes/max_image_size.cc).
  pappl_fixes::SetMaxImageSizeAtStart(system, static_cast<size_t>(image_memory), kMaxImageSide,
                                      kMaxImageSide);
  papplSystemAddTimerCallback(system, 0, 1, GuardedTimer<ApplyMaxJobsToAll>, nullptr);
  AddRawFilter(system);
  return true;
}

http_status_t CheckSubmission(pappl_client_t* client) {
  // PAPPL refuses the job itself when the printer holds its maximum.
  if (pappl_printer_t* printer = papplClientGetPrinter(client)) ApplyMaxJobs(printer, nullptr);
  http_t* http = papplClientGetHTTP(client);
  // The IPP message has been read: what remains is the document. A chunked
  // upload does not say how large it is; it may be as large as allowed.
  const bool chunked = httpGetLength2(http) < 0;
  const uint64_t document = chunked
                                ? limits.maxDocument
                                : static_cast<uint64_t>(std::max<off_t>(httpGetRemaining(http), 0));
  if (!chunked && document > limits.maxDocument) {
    papplLogClient(client, PAPPL_LOGLEVEL_WARN,
                   "Refused a document of %s: larger than max-document-size (%s).",
                   Size(document).c_str(), Size(limits.maxDocument).c_str());
    return HTTP_STATUS_REQUEST_TOO_LARGE;
  }
  const uint64_t free_space = FreeSpace();
  if (free_space < limits.spoolReserve || free_space - limits.spoolReserve < document) {
    papplLogClient(client, PAPPL_LOGLEVEL_WARN,
                   "Refused a %sdocument of %s: the spool %s has %s free and keeps %s "
                   "(spool-reserve).",
                   chunked ? "chunked " : "", Size(document).c_str(), limits.spool.c_str(),
                   Size(free_space).c_str(), Size(limits.spoolReserve).c_str());
    return HTTP_STATUS_SERVICE_UNAVAILABLE;
  }
  return HTTP_STATUS_CONTINUE;
}

}  // namespace zova::app
