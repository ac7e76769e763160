#include "app_job.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "dotmatrix/dotmatrix.h"
#include "dotmatrix/printer_models.h"
#include "job/print_page.h"
#include "vendor_options.h"

namespace zova::app {
namespace {

// Installed beside the CUPS filter; ZOVA_HALFTONE_TOOL names another one.
std::string HalftoneTool() {
  const char* tool = getenv("ZOVA_HALFTONE_TOOL");
  return tool != nullptr && *tool != '\0' ? tool : ZOVA_HALFTONE_TOOL_PATH;
}

const PrinterModel* ModelOf(pappl_job_t* job) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  return static_cast<const PrinterModel*>(data.extension);
}

}  // namespace

RowFormat RowFormatOf(const cups_page_header2_t& header) {
  if (header.cupsBitsPerPixel != 8) return RowFormat::kRgb;
  return header.cupsColorSpace == CUPS_CSPACE_K ? RowFormat::kBlack : RowFormat::kGrey;
}

std::string SpoolStem(pappl_job_t* job) {
  return std::to_string(getpid()) + "-" +
         std::to_string(papplPrinterGetID(papplJobGetPrinter(job))) + "-" +
         std::to_string(papplJobGetID(job));
}

AppJob::AppJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device)
    : job_(job), options_(options), device_(device) {}

AppJob::~AppJob() {
  // Every way out of a job gives up the printer, or no other job prints.
  if (entered_ && !finished_) (void)Finish();
}

bool AppJob::Start(bool raw) {
  raw_ = raw;
  pappl_printer_t* printer = papplJobGetPrinter(job_);
  entered_ = true;
  if (JobOrder::For(printer).Enter(job_) == JobOrder::Admission::kRepeat) {
    papplLogJob(job_, PAPPL_LOGLEVEL_WARN, "Job already printed by another thread; skipped.");
    repeat_ = true;
    return true;
  }
  // PAPPL closes a file device at the end of every job, also under a job
  // that it started beside it: a file device is opened for this job alone.
  // Other devices stay open while any job is active.
  const char* uri = papplPrinterGetDeviceURI(printer);
  if (uri != nullptr && strncmp(uri, "file:", 5) == 0) {
    own_device_.reset(papplDeviceOpen(uri, papplJobGetName(job_), papplLogDevice,
                                      papplPrinterGetSystem(printer)));
    device_ = own_device_.get();
  }
  if (device_ == nullptr) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "No device to print to.");
    return false;
  }
  stream_.emplace(device_);
  if (stream_->stream() == nullptr) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "Unable to make an output stream: %s", strerror(errno));
    return false;
  }
  printer_job_.out.Sink = OutputSink(stream_->stream());
  printer_job_.model = ModelOf(job_);
  printer_job_.jobId = SpoolStem(job_);
  printer_job_.halftoneTool = HalftoneTool();
  printer_job_.canceled = [job = job_] { return papplJobIsCanceled(job); };
  command_set_ = VendorValue(job_, options_, kCommandSetOption) == "native-commands"
                     ? CommandSetId::kNative
                     : CommandSetId::kLq;
  print_as_ = PrintAsFromKeyword(VendorValue(job_, options_, kPrintAsOption));
  if (!raw_) Setup(printer_job_.out);
  return !StreamFailed();
}

bool AppJob::WriteRaw(const void* data, size_t size) {
  if (repeat_) return true;
  if (fwrite(data, 1, size, stream_->stream()) != size) StreamFailed();
  return !StreamFailed();
}

bool AppJob::StartPage(const cups_page_header2_t& header, RowFormat format) {
  if (repeat_) return true;
  ++page_;
  format_ = format;
  request_.reset();
  spool_.reset();
  PageRequest request;
  request.commandSet = command_set_;
  request.resolution = {header.HWResolution[0], header.HWResolution[1]};
  request.pageLength = header.PageSize[1];
  request.width = header.cupsWidth;
  request.height = header.cupsHeight;
  request.bytesPerLine = 3 * header.cupsWidth;
  request.printAs = print_as_;
  if (request.width == 0 || request.height == 0 || !CheckPageRequest(request, page_)) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR,
                "Page %d (%ux%u pixels at %ux%u dpi) cannot be printed; page skipped.", page_,
                request.width, request.height, request.resolution.x, request.resolution.y);
    return true;
  }
  spool_ = std::make_unique<PageSpool>(printer_job_.jobId, page_);
  if (!spool_->Begin(request)) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "Unable to spool page %d in /tmp.", page_);
    spool_.reset();
    return false;
  }
  request_ = request;
  return true;
}

bool AppJob::WriteRow(const uint8_t* row) {
  if (!spool_) return true;
  const std::span<uint8_t> rgb = spool_->Row();
  const unsigned width = request_->width;
  switch (format_) {
    case RowFormat::kRgb:
      memcpy(rgb.data(), row, size_t{width} * 3);
      break;
    case RowFormat::kGrey:
      for (unsigned x = 0; x < width; ++x) rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = row[x];
      break;
    case RowFormat::kBlack:
      for (unsigned x = 0; x < width; ++x) {
        rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = static_cast<uint8_t>(255 - row[x]);
      }
      break;
  }
  if (spool_->AppendRow()) return true;
  papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "Unable to write page %d's spool file.", page_);
  return false;
}

bool AppJob::EndPage() {
  if (!spool_) return true;
  const std::unique_ptr<PageSpool> spool = std::move(spool_);
  if (!spool->Finish()) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "Unable to write page %d's spool file.", page_);
    return false;
  }
  const PageResult result = PrintSpooledPage(printer_job_, *request_, *spool);
  if (StreamFailed()) return false;
  if (result == PageResult::kFailed) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "Page %d failed.", page_);
    return false;
  }
  // PAPPL counts the impressions of the pages it hands over itself.
  if (result == PageResult::kPrinted) ++printed_;
  return true;
}

bool AppJob::Finish() {
  if (finished_) return !failed_;
  finished_ = true;
  spool_.reset();
  if (!repeat_ && stream_ && stream_->stream() != nullptr && !failed_) {
    if (!raw_) (void)Shutdown(printer_job_.out);
    if (!stream_->Flush()) StreamFailed();
  }
  stream_.reset();
  own_device_.reset();
  JobOrder::For(papplJobGetPrinter(job_)).Leave(job_);
  if (repeat_) return true;
  if (printed_ == 0 && !raw_ && !canceled() && !failed_) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "No page was printed.");
    return false;
  }
  return !failed_;
}

bool AppJob::StreamFailed() {
  if (!failed_ && ((stream_ && stream_->failed()) || !printer_job_.out.Sink.ok())) {
    failed_ = true;
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "Unable to send the job to the printer.");
  }
  return failed_;
}

}  // namespace zova::app
