#include "pdffilter/pdf_with_fonts.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cups/cups_chain.h"
#include "cups/cups_raster_source.h"
#include "doctext/document_text.h"
#include "doctext/font_encodings.h"
#include "doctext/fonts_page_source.h"
#include "doctext/ghostscript_text.h"
#include "pipeline/child_process.h"
#include "pipeline/file_descriptor.h"

namespace zova {
namespace {

std::string TempDirectory() {
  const char* tmpdir = getenv("TMPDIR");
  return tmpdir != nullptr && tmpdir[0] != '\0' ? tmpdir : "/tmp";
}

// The document as a file the programs can each open: the job's file, or
// standard input kept in a file of our own, removed with this.
class DocumentFile {
 public:
  DocumentFile(const FilterJob& filter, Messages& messages) {
    if (filter.argv.size() > 6) {
      path_ = filter.argv[6];
      return;
    }
    std::string path = TempDirectory() + "/zova-pdf-XXXXXX";
    FileDescriptor out(mkostemp(path.data(), O_CLOEXEC));
    if (!out.valid()) {
      messages.Error("Unable to keep the document in %s: %s", TempDirectory().c_str(),
                     strerror(errno));
      return;
    }
    kept_ = path;
    char buffer[64 * 1024];
    for (;;) {
      const ssize_t n = read(filter.fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) break;
      bool written = n > 0;
      for (ssize_t done = 0; written && done < n;) {
        const ssize_t w = write(out.get(), buffer + done, static_cast<size_t>(n - done));
        if (w < 0 && errno == EINTR) continue;
        written = w > 0;
        done += w > 0 ? w : 0;
      }
      if (!written) {
        messages.Error("Unable to keep the document in %s: %s", TempDirectory().c_str(),
                       strerror(errno));
        return;
      }
    }
    if (!out.Close()) {
      messages.Error("Unable to keep the document in %s: %s", TempDirectory().c_str(),
                     strerror(errno));
      return;
    }
    path_ = path;
  }
  ~DocumentFile() {
    if (!kept_.empty()) unlink(kept_.c_str());
  }
  DocumentFile(const DocumentFile&) = delete;
  DocumentFile& operator=(const DocumentFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;  // empty when it could not be kept
  std::string kept_;  // ours to remove
};

}  // namespace

void PrintPdfWithFonts(JobScope& job, const FilterJob& filter, const text::TextOptions& options) {
  Messages& messages = filter.messages;
  const DocumentFile document(filter, messages);
  if (document.path().empty()) {
    job.Fail();
    return;
  }
  double fonts_seconds = 0;
  const doctext::FontEncodings fonts =
      doctext::ListFonts(document.path(), TempDirectory(), job.cancel(), messages, &fonts_seconds);

  // The document drawn, and drawn without its text: CUPS's gstoraster with
  // the job's arguments, each into a pipe of ours.
  enum { kDrawn, kTextFree, kRenders };
  std::array<FileDescriptor, kRenders> reads, writes;
  std::array<ChildProcess, kRenders> renders;
  for (int i = 0; i < kRenders; ++i) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
      messages.Error("Unable to start gstoraster: %s", strerror(errno));
      job.Fail();
      return;
    }
    reads[i] = FileDescriptor(fds[0]);
    writes[i] = FileDescriptor(fds[1]);
    ChildOptions child;
    child.argv = {CupsFilterDirectory() + "/" + kPdfToRaster[0]};
    child.argv.insert(child.argv.end(), filter.argv.begin() + 1, filter.argv.begin() + 6);
    child.argv.push_back(document.path());
    child.stdoutFd = writes[i].get();
    child.env = {"FINAL_CONTENT_TYPE=application/vnd.cups-raster"};
    // Ghostscript takes switches from GS_OPTIONS before its command line.
    if (i == kTextFree) child.env.push_back("GS_OPTIONS=-dFILTERTEXT");
    child.ownProcessGroup = true;
    if (const int error = renders[i].Start(child); error != 0) {
      messages.Error("Unable to run %s: %s", child.argv[0].c_str(), strerror(error));
      job.Fail();
      return;
    }
    writes[i] = FileDescriptor();
  }

  // The text, character by character, from Ghostscript's txtwrite device.
  ChildOptions command;
  command.argv = doctext::TextCommand(document.path());
  command.stderrFd = -1;
  command.errorLine = [&](std::string_view line) {
    messages.Debug("txtwrite: %.*s", static_cast<int>(line.size()), line.data());
  };
  command.ownProcessGroup = true;
  ChildProcess txtwrite;
  const int txtwrite_error = txtwrite.Start(command);
  if (txtwrite_error != 0) {
    messages.Warning("Unable to run Ghostscript (gs): %s: the document's text prints as graphics.",
                     strerror(txtwrite_error));
  }
  doctext::DocumentTextReader text([&](char* buffer, size_t len) -> ssize_t {
    return txtwrite_error != 0 ? 0 : txtwrite.ReadOutput(buffer, len, job.cancel());
  });

  doctext::FontsSetup setup;
  setup.fonts = &fonts;
  setup.quality = options.quality;
  setup.table = options.table;
  setup.offsets = filter.settings.offsets;
  setup.spoolDirectory = filter.settings.spoolDirectory;
  bool kept_failed = false;
  {
    CupsRasterSource drawn(reads[kDrawn].get(), messages);
    CupsRasterSource text_free(reads[kTextFree].get(), messages);
    doctext::FontsPageSource pages(drawn, text_free, text, setup, messages, job.cancel());
    if (drawn.ok()) job.Print(pages);
    kept_failed = pages.failed();
    messages.Debug("%zu characters on %d pages printed in the printer's fonts",
                   pages.charactersAsText(), pages.pagesWithText());
  }
  // Whatever stops early closes its pipes, so that nothing blocks on them.
  reads = {};
  const bool stop = job.failed() || job.canceled() || kept_failed;
  std::array<ChildStatus, kRenders> status;
  for (int i = 0; i < kRenders; ++i) {
    status[i] = stop ? renders[i].Stop() : renders[i].Wait(job.cancel());
  }
  const ChildStatus text_status =
      txtwrite_error != 0 ? ChildStatus{} : (stop ? txtwrite.Stop() : txtwrite.Wait(job.cancel()));
  messages.Debug(
      "Processor time: gstoraster %.2f s, gstoraster without text %.2f s, txtwrite %.2f s, "
      "pdffonts %.2f s",
      status[kDrawn].cpuSeconds, status[kTextFree].cpuSeconds, text_status.cpuSeconds,
      fonts_seconds);
  if (kept_failed) job.Fail();
  if (stop) return;
  // The drawing is the job; the text's route only lends it a hand.
  if (!status[kDrawn].succeeded()) {
    messages.Error("gstoraster %s", DescribeExit(status[kDrawn]).c_str());
    job.Fail();
  }
  if (!status[kTextFree].succeeded()) {
    messages.Warning("gstoraster without text %s: the text after that prints as graphics.",
                     DescribeExit(status[kTextFree]).c_str());
  }
  if (txtwrite_error == 0 && !text_status.succeeded()) {
    messages.Warning("Ghostscript's txtwrite %s: the text after that prints as graphics.",
                     DescribeExit(text_status).c_str());
  }
}

}  // namespace zova
