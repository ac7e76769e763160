#include "ghostscript_filter.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app_job.h"
#include "child_process.h"
#include "ppm_stream.h"

namespace zova::app {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

struct OptionsDeleter {
  void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};

// Ghostscript's messages, logged when it fails.
void LogMessages(pappl_job_t* job, FILE* messages) {
  rewind(messages);
  char line[512];
  while (fgets(line, sizeof line, messages) != nullptr) {
    line[strcspn(line, "\n")] = '\0';
    if (line[0] != '\0') papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Ghostscript: %s", line);
  }
}

bool PrintPages(AppJob& app, FILE* in, const cups_page_header2_t& header) {
  const unsigned width = header.cupsWidth, height = header.cupsHeight;
  std::vector<uint8_t> row(size_t{width} * 3);
  unsigned page_width = 0, page_height = 0;
  bool printed = false;
  while (!app.canceled() && ReadPpmHeader(in, &page_width, &page_height)) {
    if (page_width != width || page_height != height) {
      papplLogJob(app.job(), PAPPL_LOGLEVEL_ERROR,
                  "Ghostscript made a %ux%u page where %ux%u was asked for.", page_width,
                  page_height, width, height);
      return false;
    }
    if (!app.StartPage(header, RowFormat::kRgb)) return false;
    for (unsigned y = 0; y < height && !app.canceled(); ++y) {
      if (fread(row.data(), 1, row.size(), in) != row.size()) {
        papplLogJob(app.job(), PAPPL_LOGLEVEL_ERROR, "Ghostscript's page %u ends early.",
                    app.pages() + 1);
        app.EndPage();
        return false;
      }
      if (!app.WriteRow(row.data())) return false;
    }
    if (!app.EndPage()) return false;
    papplJobSetImpressionsCompleted(app.job(), 1);
    printed = true;
  }
  return printed || app.canceled();
}

bool GhostscriptFilter(pappl_job_t* job, pappl_device_t* device, void* /*data*/) {
  const std::unique_ptr<pappl_pr_options_t, OptionsDeleter> options(
      papplJobCreatePrintOptions(job, 0, false));
  if (!options) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to get the job's options.");
    return false;
  }
  // Only the page geometry is taken from PAPPL's header: Ghostscript renders
  // RGB, as the CUPS route does, whatever the colour mode.
  const cups_page_header2_t& h = options->header;
  const unsigned width = h.cupsWidth, height = h.cupsHeight;

  // PAPPL can hand over a job whose document is gone: one it has printed
  // already on another thread, or one whose document never came whole.
  const char* document = papplJobGetFilename(job);
  if (document == nullptr) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The job has no document to print.");
    return false;
  }
  AppJob app(job, options.get(), device);
  if (!app.Start()) return false;
  if (app.repeat()) return true;

  const FilePtr messages(tmpfile());
  if (!messages) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to create a file for Ghostscript's messages.");
    return false;
  }
  ChildProcess gs;
  const int err =
      gs.Start(GhostscriptCommand(document, h.HWResolution[0], h.HWResolution[1], width, height),
               fileno(messages.get()));
  if (err != 0) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to run Ghostscript (gs): %s", strerror(err));
    return false;
  }
  const FilePtr pages(fdopen(dup(gs.output()), "rb"));
  if (!pages) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to read Ghostscript's output.");
    return false;
  }
  bool ok = PrintPages(app, pages.get(), h);
  ok = app.Finish() && ok;
  if (app.canceled()) {
    gs.Stop();
    return true;
  }
  const int status = gs.Wait();
  if (status != 0) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Ghostscript failed with status %d.", status);
    LogMessages(job, messages.get());
    return false;
  }
  return ok;
}

}  // namespace

std::vector<std::string> GhostscriptCommand(const std::string& file, unsigned xdpi, unsigned ydpi,
                                            unsigned width, unsigned height) {
  return {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dNOINTERPOLATE", "-sDEVICE=ppmraw",
          "-r" + std::to_string(xdpi) + "x" + std::to_string(ydpi),
          "-g" + std::to_string(width) + "x" + std::to_string(height),
          // The page size is the job's, whatever the document asks for.
          "-dFIXEDMEDIA", "-sOutputFile=-", "-sstdout=%stderr", "-f", file};
}

void AddGhostscriptFilters(pappl_system_t* system) {
  papplSystemAddMIMEFilter(system, "application/pdf", "image/pwg-raster", GhostscriptFilter,
                           nullptr);
  papplSystemAddMIMEFilter(system, "application/postscript", "image/pwg-raster", GhostscriptFilter,
                           nullptr);
}

}  // namespace zova::app
