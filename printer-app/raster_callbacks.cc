#include "raster_callbacks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>

#include "app_job.h"
#include "callback_guard.h"
#include "pipeline/file_descriptor.h"

namespace zova::app {
namespace {

// PAPPL 1.3.1 can run one job on two or three threads at once (JobOrder
// lets one of them print), and calls rendjob a second time when the first
// call failed. The job's data is one for all of them: the thread that ended
// the job took it from the others, which then called into no job and
// brought the server down. Each thread keeps the job it started.
thread_local AppJob* thread_job = nullptr;

AppJob& JobOf(pappl_job_t* job) {
  if (thread_job == nullptr || thread_job->job() != job) {
    throw std::logic_error("No job was started on this thread.");
  }
  return *thread_job;
}

bool StartJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  return Guarded(job, [&] {
    // PAPPL counts the impressions of the pages it rasters itself.
    auto app = std::make_unique<AppJob>(job, options, device, /*counts_pages=*/false);
    // PAPPL calls no rendjob when rstartjob fails: the job ends here, and
    // gives up the printer on its way out.
    if (!app->Start()) return false;
    thread_job = app.release();
    return true;
  });
}

bool StartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* /*device*/,
               unsigned /*page*/) {
  return Guarded(job, [&] { return JobOf(job).StartPage(options->header); });
}

bool WriteLine(pappl_job_t* job, pappl_pr_options_t* /*options*/, pappl_device_t* /*device*/,
               unsigned /*y*/, const unsigned char* line) {
  return Guarded(job, [&] { return JobOf(job).WriteRow(line); });
}

bool EndPage(pappl_job_t* job, pappl_pr_options_t* /*options*/, pappl_device_t* /*device*/,
             unsigned /*page*/) {
  return Guarded(job, [&] { return JobOf(job).EndPage(); });
}

bool EndJob(pappl_job_t* job, pappl_pr_options_t* /*options*/, pappl_device_t* /*device*/) {
  // The second call after a failed end: the job has ended already.
  if (thread_job == nullptr || thread_job->job() != job) return false;
  const std::unique_ptr<AppJob> app(std::exchange(thread_job, nullptr));
  return Guarded(job, [&] { return app->Finish(); });
}

// A raw job is already the printer's stream: it goes out whole, in its turn.
bool PrintRaw(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  AppJob app(job, options, device, /*counts_pages=*/true);
  if (!app.Start(/*raw=*/true)) return false;
  if (app.repeat()) return true;
  const FileDescriptor file = OpenJobDocument(job);
  if (!file.valid()) return false;
  char buffer[64 * 1024];
  ssize_t n = 0;
  while (!app.canceled() && (n = read(file.get(), buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to read the job file: %s", strerror(errno));
      return false;
    }
    if (!app.WriteRaw(buffer, static_cast<size_t>(n))) return false;
  }
  // PAPPL counts the raw job's one impression when this returns true.
  return app.Finish();
}

bool PrintRawFile(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  return Guarded(job, [&] { return PrintRaw(job, options, device); });
}

}  // namespace

FileDescriptor OpenJobDocument(pappl_job_t* job) {
  const char* document = papplJobGetFilename(job);
  FileDescriptor file(document != nullptr ? open(document, O_RDONLY | O_CLOEXEC) : -1);
  if (!file.valid()) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to open the job's document: %s",
                document != nullptr ? strerror(errno) : "there is none");
  }
  return file;
}

void SetRasterCallbacks(pappl_pr_driver_data_t* data) {
  data->rstartjob_cb = StartJob;
  data->rstartpage_cb = StartPage;
  data->rwriteline_cb = WriteLine;
  data->rendpage_cb = EndPage;
  data->rendjob_cb = EndJob;
  data->printfile_cb = PrintRawFile;
}

}  // namespace zova::app
