#include "ghostscript_filter.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "app_job.h"
#include "app_system.h"
#include "callback_guard.h"
#include "document_fonts.h"
#include "job_order.h"
#include "netpbm/netpbm_header.h"
#include "page_record.h"
#include "pipeline/child_process.h"

namespace zova::app {
namespace {

// A directory of one Ghostscript run's own, removed with what it holds.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& parent) {
    std::string path = parent + "/gs-XXXXXX";
    if (mkdtemp(path.data()) != nullptr) path_ = path;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct OptionsDeleter {
  void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};

// The PPM pages Ghostscript writes one after another on its standard
// output, as the job's pages.
class GhostscriptPages final : public PageSource {
 public:
  // The printer bytes of each page go into `record`, when there is one.
  GhostscriptPages(ChildProcess& gs, const cups_page_header2_t& header, const CancelToken& cancel,
                   Messages& messages, PageRecord* record)
      : gs_(gs), header_(header), cancel_(cancel), messages_(messages), record_(record) {}

  // Ghostscript's time for one page, from the start of its output to its
  // last row. A page that takes longer is taken to loop for good.
  static std::chrono::seconds PageTime() { return Server().ghostscriptPageTime; }
  // Its time for the whole document: only the time we wait for its output
  // counts, not the printer's.
  static std::chrono::seconds JobTime() { return Server().ghostscriptJobTime; }

  bool NextPage(cups_page_header2_t& header) override {
    // The page before has gone to the printer whole.
    if (record_ != nullptr) record_->PageEnds();
    deadline_ = ChildProcess::Clock::now() + PageTime();
    const NetpbmHeader ppm = ReadNetpbmHeader([this] { return Byte(); }, NetpbmForm::kPpm);
    if (ppm.status != NetpbmHeader::kRead) {
      // The end of its output, Ghostscript stopped, or output that is not a
      // page.
      if (!stopped_ && (ppm.length > 0 || ppm.status != NetpbmHeader::kNotNetpbm)) {
        messages_.Error("Ghostscript's output is not a page.");
      }
      failed_ = failed_ || stopped_ || ppm.length > 0 || ppm.status != NetpbmHeader::kNotNetpbm;
      return false;
    }
    if (ppm.width != header_.cupsWidth || ppm.height != header_.cupsHeight || ppm.maxval != 255) {
      messages_.Error("Ghostscript made a %sx%s page where %ux%u was asked for.",
                      ppm.widthText.c_str(), ppm.heightText.c_str(), header_.cupsWidth,
                      header_.cupsHeight);
      failed_ = true;
      return false;
    }
    ++pages_;
    header = header_;
    return true;
  }

  bool ReadRow(std::span<uint8_t> row) override {
    if (Read(row.data(), row.size())) return true;
    if (!stopped_) messages_.Error("Ghostscript's page %d ends early.", pages_);
    failed_ = true;
    return false;
  }

  void SkipPage(const cups_page_header2_t& header, const CancelToken&) override {
    std::vector<uint8_t> row(header.cupsBytesPerLine);
    for (unsigned y = 0; y < header.cupsHeight && Read(row.data(), row.size()); ++y) {
    }
  }

  int pages() const { return pages_; }
  bool failed() const { return failed_; }
  // Its time for the document, not the page's, ran out.
  bool outOfJobTime() const { return job_time_left_ <= ChildProcess::Clock::duration::zero(); }
  // The time it may still take to end once its output has.
  ChildProcess::Clock::duration timeLeft() const {
    return std::min<ChildProcess::Clock::duration>(PageTime(), job_time_left_);
  }

 private:
  int Byte() {
    uint8_t byte;
    if (Read(&byte, 1)) return byte;
    return ended_ ? -1 : -2;
  }

  // Exactly `len` bytes, or false at the end, on a failure, or once a
  // cancel or the page's time running out has stopped Ghostscript.
  bool Read(uint8_t* data, size_t len) {
    while (len > 0) {
      if (begin_ == end_) {
        if (ended_ || stopped_) return false;
        const auto start = ChildProcess::Clock::now();
        const ssize_t got = gs_.ReadOutput(buffer_, sizeof buffer_, cancel_,
                                           std::min(*deadline_, start + job_time_left_));
        job_time_left_ -= ChildProcess::Clock::now() - start;
        if (got <= 0) {
          ended_ = got == 0;
          stopped_ = got < 0;
          return false;
        }
        begin_ = 0;
        end_ = static_cast<size_t>(got);
      }
      const size_t take = std::min(len, end_ - begin_);
      memcpy(data, buffer_ + begin_, take);
      begin_ += take;
      data += take;
      len -= take;
    }
    return true;
  }

  ChildProcess& gs_;
  cups_page_header2_t header_;
  const CancelToken& cancel_;
  Messages& messages_;
  PageRecord* record_;
  std::optional<ChildProcess::Clock::time_point> deadline_;
  ChildProcess::Clock::duration job_time_left_ = JobTime();
  uint8_t buffer_[64 * 1024];
  size_t begin_ = 0, end_ = 0;
  bool ended_ = false;
  bool stopped_ = false;  // cancelled or out of time
  bool failed_ = false;
  int pages_ = 0;
};

uint64_t MemoryLimit() { return uint64_t{Server().ghostscriptMemoryMb} << 20; }

// The printer bytes kept for later copies: beyond this, or when the disk
// takes no more, Ghostscript draws the document again for each copy.
constexpr uint64_t kRecordLimit = uint64_t{1} << 30;

// A page of a PDF larger than the medium, as Ghostscript reports the
// document's pages (without drawing them): "Page 3 MediaBox: [0 0 595 842]",
// turned where "Rotate = 90" follows. Empty when every page fits, or when
// the sizes could not be read in time (said in the job's log).
std::string LargerPage(const std::string& document, double width, double length,
                       const std::string& scratch, const CancelToken& cancel, Messages& messages) {
  std::string larger;
  ChildOptions command;
  command.argv = {"gs",      "-q",        "-dNODISPLAY", "-dSAFER", "-dPDFINFO",
                  "-dBATCH", "-dNOPAUSE", "-f",          document};
  command.env = {"TMPDIR=" + scratch};
  command.stdoutFd = kDiscardOutput;
  command.stderrFd = -1;
  command.memoryLimit = MemoryLimit();
  command.errorLine = [&](std::string_view line) {
    int page = 0;
    double x0, y0, x1, y1;
    const std::string text(line);
    if (!larger.empty() || sscanf(text.c_str(), "Page %d MediaBox: [%lf %lf %lf %lf]", &page, &x0,
                                  &y0, &x1, &y1) != 5) {
      return;
    }
    double w = std::abs(x1 - x0), h = std::abs(y1 - y0);
    if (text.find("Rotate = 90") != std::string::npos ||
        text.find("Rotate = 270") != std::string::npos) {
      std::swap(w, h);
    }
    // A point of slack: sizes are rounded on the way.
    if (w > width + 1 || h > length + 1) {
      char what[128];
      snprintf(what, sizeof what, "Page %d of the document is %.0fx%.0f points", page, w, h);
      larger = what;
    }
  };
  ChildProcess gs;
  if (gs.Start(command) == 0 &&
      gs.Wait(cancel, ChildProcess::Clock::now() + Server().ghostscriptPageTime).stoppedBy ==
          ChildStatus::kTimedOut) {
    messages.Warning("The document's page sizes could not be read in time: pages print 1:1.");
  }
  return larger;
}

enum class Run { kPrinted, kFailed, kCanceled };

// One Ghostscript run over the document, its pages printed as they come;
// every failure is said in the job's log and message.
Run RunGhostscript(AppJob& app, const std::vector<std::string>& argv, const std::string& scratch,
                   const cups_page_header2_t& header, PageRecord* record,
                   const std::string& page_list, DocumentFonts* fonts) {
  // What Ghostscript says goes to the job's log; its first error, if it
  // prints nothing, is why.
  std::string complaint;
  bool out_of_memory = false;
  ChildOptions command;
  command.argv = argv;
  command.env = {"TMPDIR=" + scratch};
  command.stderrFd = -1;
  command.errorLine = [&](std::string_view line) {
    if (line.empty()) return;
    app.messages().Warning("Ghostscript: %.*s", static_cast<int>(line.size()), line.data());
    if (complaint.empty() && line.find("rror") != std::string_view::npos) complaint = line;
    // What it says when an allocation fails under the limit.
    out_of_memory |= line.find("VMerror") != std::string_view::npos;
  };
  command.ownProcessGroup = true;
  command.memoryLimit = MemoryLimit();
  ChildProcess gs;
  if (const int err = gs.Start(command); err != 0) {
    app.messages().Error("Unable to run Ghostscript (gs): %s", strerror(err));
    return Run::kFailed;
  }
  const CancelToken& cancel = app.driver().cancel();
  GhostscriptPages pages(gs, header, cancel, app.messages(), record);
  const bool printed = fonts == nullptr
                           ? app.scope().Print(pages)
                           : fonts->Print(app, pages, command, [&](ChildProcess& child) {
                               return std::make_unique<GhostscriptPages>(child, header, cancel,
                                                                         app.messages(), nullptr);
                             });
  if (cancel.canceled()) {
    (void)gs.Stop();
    return Run::kCanceled;
  }
  // After a failure Ghostscript may be blocked writing pages that nobody
  // reads any more: it is stopped, not waited for.
  const bool stop = !printed || pages.failed();
  const ChildStatus status =
      stop ? gs.Stop() : gs.Wait(cancel, ChildProcess::Clock::now() + pages.timeLeft());
  papplLogJob(app.job(), PAPPL_LOGLEVEL_DEBUG, "Ghostscript took %ld MB at most.",
              status.peakKb / 1024);
  if (status.stoppedBy == ChildStatus::kTimedOut && pages.outOfJobTime()) {
    app.messages().Error("Ghostscript took more than %lld s over the document and was stopped.",
                         static_cast<long long>(pages.JobTime().count()));
  } else if (status.stoppedBy == ChildStatus::kTimedOut) {
    app.messages().Error("Ghostscript took more than %lld s over a page and was stopped.",
                         static_cast<long long>(pages.PageTime().count()));
  } else if (stop) {
    // The reason is out already.
  } else if (!status.succeeded() && out_of_memory) {
    app.messages().Error("Ghostscript needed more than %u MB and was stopped.",
                         Server().ghostscriptMemoryMb);
  } else if (!status.succeeded()) {
    app.messages().Error("Ghostscript failed with status %d.",
                         status.kind == ChildStatus::kSignaled ? 128 + status.code : status.code);
  } else if (pages.pages() == 0 && !page_list.empty()) {
    app.messages().Error("The document has no page in page-ranges %s.", page_list.c_str());
  } else if (pages.pages() == 0) {
    app.messages().Error("Ghostscript could not read the document%s%s",
                         complaint.empty() ? "." : ": ", complaint.c_str());
  }
  return printed && !pages.failed() && status.succeeded() && pages.pages() > 0 ? Run::kPrinted
                                                                               : Run::kFailed;
}

bool PrintWithGhostscript(pappl_job_t* job, pappl_device_t* device) {
  const JobClaim claim(job);
  if (claim.printedElsewhere()) return true;
  const std::unique_ptr<pappl_pr_options_t, OptionsDeleter> options(
      papplJobCreatePrintOptions(job, 0, false));
  if (!options) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to get the job's options.");
    return false;
  }
  // Only the page geometry is taken from PAPPL's header: Ghostscript renders
  // RGB, as the CUPS route does, whatever the colour mode.
  const cups_page_header2_t& h = options->header;

  // PAPPL can hand over a job whose document never came whole.
  const char* document = papplJobGetFilename(job);
  if (document == nullptr) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The job has no document to print.");
    return false;
  }
  // Declared before the job, which writes through it to its end.
  std::unique_ptr<PageRecord> record;
  if (options->copies > 1) {
    record = std::make_unique<PageRecord>(Server().pageSpool, kRecordLimit);
  }
  AppJob app(job, options.get(), device, /*counts_pages=*/true);
  app.RecordPages(record.get());
  if (!app.Start()) return false;
  if (app.repeat()) return true;

  // Ghostscript's sandbox lets it into its temporary directory: a private
  // one, so that a document cannot read or change what is not its own.
  const ScratchDirectory scratch(Server().scratch);
  if (scratch.path().empty()) {
    app.messages().Error("Unable to make a directory for Ghostscript: %s", strerror(errno));
    return false;
  }
  // Pages print 1:1 where they fit, so that a form lands on its fields; a
  // PDF with a page larger than the medium is scaled to fit instead of cut.
  bool fit = false;
  if (strcmp(papplJobGetFormat(job), "application/pdf") == 0) {
    const std::string larger = LargerPage(document, h.PageSize[0], h.PageSize[1], scratch.path(),
                                          app.driver().cancel(), app.messages());
    if (!larger.empty()) {
      app.messages().Warning(
          "%s, larger than the %ux%u-point medium: it is printed "
          "scaled to fit.",
          larger.c_str(), h.PageSize[0], h.PageSize[1]);
      fit = true;
    }
  }
  // Pages from the job's page-ranges only: a PDF's others are not drawn at
  // all, a PostScript document's are read but not drawn.
  std::string page_list;
  if (options->first_page > 1 || options->last_page < INT_MAX) {
    page_list = std::to_string(options->first_page) + "-" +
                (options->last_page < INT_MAX ? std::to_string(options->last_page) : "");
  }
  const std::vector<std::string> argv = GhostscriptCommand(
      document, h.HWResolution[0], h.HWResolution[1], h.cupsWidth, h.cupsHeight, fit, page_list);
  const cups_page_header2_t header = RgbHeader(h, app.outputType());
  const std::unique_ptr<DocumentFonts> fonts =
      DocumentFonts::ForJob(app, options.get(), document, scratch.path());
  // Copies are collated: the pages in order, then again. Ghostscript draws
  // them once; the later copies are the first one's printer bytes.
  const int copies = std::max(options->copies, 1);
  if (record) record->Start();
  Run run = RunGhostscript(app, argv, scratch.path(), header, record.get(), page_list, fonts.get());
  if (record) record->Stop();
  if (run == Run::kPrinted && copies > 1 && !record->usable()) {
    app.messages().Warning(
        "The printed pages could not be kept for the copies (more than %llu MB, or no room on "
        "the disk): Ghostscript draws them again for each copy.",
        static_cast<unsigned long long>(kRecordLimit >> 20));
  }
  for (int copy = 2; copy <= copies && run == Run::kPrinted; ++copy) {
    if (!record->usable()) {
      run = RunGhostscript(app, argv, scratch.path(), header, nullptr, page_list, fonts.get());
      continue;
    }
    for (size_t page = 0; page < record->pages() && run == Run::kPrinted; ++page) {
      if (app.driver().canceled()) {
        run = Run::kCanceled;
      } else if (!app.SendRecordedPage(page)) {
        run = app.driver().canceled() ? Run::kCanceled : Run::kFailed;
      }
    }
  }
  if (run == Run::kCanceled) {
    app.Finish();
    if (app.canceled()) return true;
    app.messages().Error("The printer application stopped while the job printed.");
    return false;
  }
  const bool finished = app.Finish();
  return finished && run == Run::kPrinted;
}

bool GhostscriptFilter(pappl_job_t* job, pappl_device_t* device, void* /*data*/) {
  return Guarded(job, [&] { return PrintWithGhostscript(job, device); });
}

}  // namespace

std::vector<std::string> GhostscriptCommand(const std::string& file, unsigned xdpi, unsigned ydpi,
                                            unsigned width, unsigned height, bool fit,
                                            const std::string& page_list) {
  std::vector<std::string> command = {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE",
                                      "-dNOINTERPOLATE", "-sDEVICE=ppmraw",
                                      "-r" + std::to_string(xdpi) + "x" + std::to_string(ydpi),
                                      "-g" + std::to_string(width) + "x" + std::to_string(height),
                                      // The page size is the job's, whatever the document asks for.
                                      "-dFIXEDMEDIA", "-sOutputFile=-", "-sstdout=%stderr"};
  if (fit) command.push_back("-dPDFFitPage");
  if (!page_list.empty()) command.push_back("-sPageList=" + page_list);
  command.insert(command.end(), {"-f", file});
  return command;
}

void AddGhostscriptFilters(pappl_system_t* system) {
  papplSystemAddMIMEFilter(system, "application/pdf", "image/pwg-raster", GhostscriptFilter,
                           nullptr);
  papplSystemAddMIMEFilter(system, "application/postscript", "image/pwg-raster", GhostscriptFilter,
                           nullptr);
}

}  // namespace zova::app
