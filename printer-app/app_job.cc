#include "app_job.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>

#include "app_system.h"
#include "dotmatrix/dotmatrix.h"
#include "dotmatrix/printer_models.h"
#include "job_journal.h"
#include "pipeline/child_process.h"
#include "pipeline/page_offsets.h"
#include "pipeline/print_as.h"
#include "pipeline/stream_choices.h"
#include "test_page.h"
#include "vendor_options.h"

namespace zova::app {
namespace {

// Installed beside the CUPS filter; ZOVA_HALFTONE_TOOL names another one.
std::string HalftoneToolPath() {
  const char* tool = getenv("ZOVA_HALFTONE_TOOL");
  return tool != nullptr && *tool != '\0' ? tool : ZOVA_HALFTONE_TOOL_PATH;
}

const PrinterModel* ModelOf(pappl_job_t* job) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  return static_cast<const PrinterModel*>(data.extension);
}

// One media offset: the job's own, else the one set on the Media page for
// the source the job prints from. A job's own that cannot apply (over the
// local socket nothing checks it before the job is taken) gives way to the
// source's, logged.
int MediaOffset(pappl_job_t* job, const pappl_pr_options_t* options, const char* name,
                int pappl_media_col_t::*field) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  int saved = 0;
  for (int i = 0; i < data.num_source; ++i) {
    if (strcmp(data.source[i], options->media.source) == 0) saved = data.media_ready[i].*field;
  }
  if (saved < -kMaxOffset || saved > kMaxOffset) saved = 0;
  ipp_t* col = ippGetCollection(papplJobGetAttribute(job, "media-col"), 0);
  ipp_attribute_t* own = ippFindAttribute(col, name, IPP_TAG_INTEGER);
  if (own == nullptr) return saved;
  const int offset = ippGetInteger(own, 0);
  if (offset < -kMaxOffset || offset > kMaxOffset) {
    papplLogJob(job, PAPPL_LOGLEVEL_WARN,
                "%s %d is beyond 10 mm either way: printing with the source's %d (1/100 mm).", name,
                offset, saved);
    return saved;
  }
  return offset;
}

PageOffsets OffsetsOf(pappl_job_t* job, const pappl_pr_options_t* options) {
  return {MediaOffset(job, options, "media-top-offset", &pappl_media_col_t::top_offset),
          MediaOffset(job, options, "media-left-offset", &pappl_media_col_t::left_offset)};
}

}  // namespace

std::string SpoolStem(pappl_job_t* job) {
  return std::to_string(getpid()) + "-" +
         std::to_string(papplPrinterGetID(papplJobGetPrinter(job))) + "-" +
         std::to_string(papplJobGetID(job));
}

cups_page_header2_t RgbHeader(const cups_page_header2_t& header, const std::string& output_type) {
  cups_page_header2_t rgb = header;
  rgb.cupsBitsPerColor = 8;
  rgb.cupsBitsPerPixel = 24;
  rgb.cupsBytesPerLine = 3 * header.cupsWidth;
  rgb.cupsColorSpace = CUPS_CSPACE_SRGB;
  rgb.cupsNumColors = 3;
  snprintf(rgb.OutputType, sizeof rgb.OutputType, "%s", output_type.c_str());
  return rgb;
}

AppJob::AppJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
               bool counts_pages)
    : job_(job), options_(options), device_(device), log_(job, counts_pages), cancel_([job] {
        return papplJobIsCanceled(job);
      }) {}

AppJob::~AppJob() {
  // Every way out of a job gives up the printer, or no other job prints. A
  // job left by an exception sends nothing more: its end goes to the printer
  // only on an ordinary way out.
  if (!entered_ || finished_) return;
  if (std::uncaught_exceptions() > uncaught_) {
    Abandon();
    return;
  }
  try {
    (void)Finish();
  } catch (...) {
    Abandon();
  }
}

void AppJob::Abandon() noexcept {
  finished_ = true;
  failed_ = true;
  try {
    scope_.reset();
    out_.reset();
    tee_.reset();
    stream_.reset();
    meter_.reset();
    own_device_.reset();
    JobOrder::For(papplJobGetPrinter(job_)).Leave(job_);
    if (!repeat_) JobJournal::Ended(job_, false);
  } catch (...) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "Unable to give up the printer after a failure.");
  }
}

bool AppJob::Start(bool raw) {
  raw_ = raw;
  pappl_printer_t* printer = papplJobGetPrinter(job_);
  entered_ = true;
  switch (JobOrder::For(printer).Enter(job_)) {
    case JobOrder::Admission::kTurn:
      break;
    case JobOrder::Admission::kRepeat:
      papplLogJob(job_, PAPPL_LOGLEVEL_WARN, "Job already printed by another thread; skipped.");
      repeat_ = true;
      return true;
    case JobOrder::Admission::kGiveUp:
      entered_ = false;
      return false;
  }
  JobJournal::Started(job_);
  // PAPPL closes a file device at the end of every job, also under a job
  // that it started beside it: a file device is opened for this job alone.
  // Other devices stay open while any job is active, so a job PAPPL started
  // beside one whose connection broke is handed that dead connection: it
  // opens one of its own.
  const char* uri = papplPrinterGetDeviceURI(printer);
  if (uri != nullptr && (strncmp(uri, "file:", 5) == 0 || ConnectionBroken(device_, uri))) {
    own_device_.reset(papplDeviceOpen(uri, papplJobGetName(job_), papplLogDevice,
                                      papplPrinterGetSystem(printer)));
    device_ = own_device_.get();
  }
  // A job that got its turn and goes no further has failed, not printed.
  if (device_ == nullptr) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "No device to print to.");
    failed_ = true;
    return false;
  }
  // The printer answers: whatever kept it offline is over.
  if (papplPrinterGetReasons(printer) & PAPPL_PREASON_OFFLINE) {
    papplPrinterSetReasons(printer, PAPPL_PREASON_NONE, PAPPL_PREASON_OFFLINE);
  }
  stream_.emplace(device_, uri != nullptr ? uri : "", cancel_, job_);
  meter_.emplace();
  stream_->Tap([this](const char* data, size_t size) { meter_->Feed(data, size); });
  if (stream_->stream() == nullptr) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "Unable to make an output stream: %s", strerror(errno));
    failed_ = true;
    return false;
  }
  FILE* out = stream_->stream();
  if (record_ != nullptr) {
    tee_.reset(record_->Tee(out));
    if (!tee_) {
      papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "Unable to make an output stream: %s",
                  strerror(errno));
      failed_ = true;
      return false;
    }
    out = tee_.get();
  }
  out_.emplace(out, log_);

  // The PPD's choice is what its code puts in OutputType.
  output_type_ = VendorChoiceOf(job_, options_, kCommandSetOption);
  JobSettings settings;
  settings.model = ModelOf(job_);
  settings.printAs = IsTestPage(job_)
                         ? PrintAs::kMixed
                         : ParsePrintAs(PrintAsOf(job_, options_)).value_or(PrintAs::kAuto);
  settings.offsets = OffsetsOf(job_, options_);
  settings.stream = {
      ParseChoice(kHeadTravelChoices, VendorChoiceOf(job_, options_, kHeadTravelOption))
          .value_or(HeadTravel::kFull),
      ParseChoice(kFormLengthChoices, VendorChoiceOf(job_, options_, kFormLengthOption))
          .value_or(FormLength::kLines)};
  papplLogJob(job_, PAPPL_LOGLEVEL_DEBUG, "Offsets: %d down, %d right (1/100 mm).",
              settings.offsets.top, settings.offsets.left);
  offsets_ = settings.offsets;
  model_ = settings.model;
  settings.spoolDirectory = Server().pageSpool;
  settings.jobId = SpoolStem(job_);
  // The tool's messages go to the job's log; it writes nothing else.
  HalftoneTool tool;
  tool.program = HalftoneToolPath();
  tool.stdoutFd = kDiscardOutput;
  tool.sharesStderr = false;
  settings.halftone = ToolHalftoner(std::move(tool), cancel_, log_);
  scope_.emplace(std::move(settings), *out_, log_, cancel_);
  // A page counts once the printer has taken it whole.
  log_.SetDelivery([this] { return stream_->Delivered(); });
  if (!raw_) scope_->Begin();
  return !StreamFailed();
}

bool AppJob::WriteRaw(const void* data, size_t size) {
  if (repeat_) return true;
  if (fwrite(data, 1, size, stream_->stream()) != size) StreamFailed();
  return !StreamFailed();
}

bool AppJob::StartPage(const cups_page_header2_t& header) {
  if (repeat_) return true;
  width_ = header.cupsWidth;
  format_ = header.cupsBitsPerPixel != 8             ? RowFormat::kRgb
            : header.cupsColorSpace == CUPS_CSPACE_K ? RowFormat::kBlack
                                                     : RowFormat::kGrey;
  return driver().BeginPage(RgbHeader(header, output_type_)) != PageDriver::PageStart::kFail;
}

bool AppJob::WriteRow(const uint8_t* row) {
  if (repeat_) return true;
  const std::span<uint8_t> rgb = driver().Row();
  if (rgb.empty()) return true;
  switch (format_) {
    case RowFormat::kRgb:
      memcpy(rgb.data(), row, size_t{width_} * 3);
      break;
    case RowFormat::kGrey:
      for (unsigned x = 0; x < width_; ++x) rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = row[x];
      break;
    case RowFormat::kBlack:
      for (unsigned x = 0; x < width_; ++x) {
        rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = static_cast<uint8_t>(255 - row[x]);
      }
      break;
  }
  return driver().AddRow();
}

bool AppJob::EndPage() {
  if (repeat_) return true;
  const PageResult result = driver().EndPage();
  const bool failed = result == PageResult::kFailed ||
                      (result == PageResult::kPrinted && !stream_->Delivered()) || StreamFailed();
  // PAPPL counts a raster stream's page when it begins: one that never got
  // to the printer whole does not count.
  const std::string format = papplJobGetFormat(job_);
  if (failed && (format == "image/pwg-raster" || format == "image/urf")) {
    papplJobSetImpressionsCompleted(job_, -1);
  }
  return !failed;
}

bool AppJob::SendRecordedPage(size_t page) {
  if (repeat_ || failed_ || !tee_ || scope_->failed()) return false;
  // A record that cannot be read fails the job, not the printer: the job
  // end still goes out.
  if (!record_->Send(page, tee_.get())) {
    if (!StreamFailed()) {
      log_.Error("Unable to read the pages kept for the next copy: %s", strerror(errno));
      scope_->Fail();
    }
    return false;
  }
  if (fflush(tee_.get()) != 0 || !stream_->Delivered()) {
    StreamFailed();
    failed_ = true;
    return false;
  }
  papplJobSetImpressionsCompleted(job_, 1);
  return true;
}

bool AppJob::Finish() {
  if (finished_) return !failed_;
  finished_ = true;
  JobResult result;  // a raw job's, which the printer takes as it is
  if (!repeat_ && scope_ && !failed_) {
    if (!raw_) result = scope_->End();
    if (!stream_->Flush()) StreamFailed();
  }
  scope_.reset();
  out_.reset();
  tee_.reset();
  stream_.reset();
  if (meter_) {
    papplLogJob(job_, PAPPL_LOGLEVEL_INFO, "Modelled printing time: %s.", meter_->Finish().c_str());
  }
  // A connection of PAPPL's that broke must not take the next jobs down.
  if (failed_ && !own_device_ && !repeat_) {
    JobOrder::For(papplJobGetPrinter(job_)).DeviceLost(papplJobGetPrinter(job_));
  }
  own_device_.reset();
  JobOrder::For(papplJobGetPrinter(job_)).Leave(job_);
  if (repeat_) return true;
  // A job with a failed page did not print whole, whatever went before it.
  const bool ok = !failed_ && !result.failed;
  JobJournal::Ended(job_, ok && !canceled());
  return ok;
}

bool AppJob::StreamFailed() {
  if (!failed_ && ((stream_ && stream_->failed()) || (out_ && !out_->ok()))) {
    failed_ = true;
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "Unable to send the job to the printer.");
  }
  return failed_;
}

}  // namespace zova::app
