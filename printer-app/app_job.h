// One job of the printer application on its way to the printer: its turn at
// the printer, the stream over the device, and each page through the
// driver's page pipeline (spool, classify, halftone or threshold, bands),
// exactly as the CUPS filter prints it.
#pragma once

#include <pappl/pappl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device_stream.h"
#include "job/page_request.h"
#include "job/page_spool.h"
#include "job/printer_job.h"
#include "job_order.h"

namespace zova::app {

// How the rows of a page come in.
enum class RowFormat {
  kRgb,    // 3 bytes per pixel, sRGB
  kGrey,   // 1 byte per pixel, 255 white
  kBlack,  // 1 byte per pixel, 255 black
};

// The row format of a PAPPL page header.
RowFormat RowFormatOf(const cups_page_header2_t& header);

// The stem of a job's spool file names: /tmp/nfet<stem>_<page>.ppm. The
// process ID keeps two servers apart, the printer ID two printers.
std::string SpoolStem(pappl_job_t* job);

class AppJob {
 public:
  AppJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
  ~AppJob();
  AppJob(const AppJob&) = delete;
  AppJob& operator=(const AppJob&) = delete;

  // Waits for the job's turn at the printer and writes the job preamble,
  // unless the job is raw. False after a log entry when the job cannot print.
  bool Start(bool raw = false);
  // Sends a raw job's bytes as they are.
  bool WriteRaw(const void* data, size_t size);
  // Begins a page of the geometry in `header`. False when the job must stop;
  // a page the printer cannot take is skipped, with a log entry.
  bool StartPage(const cups_page_header2_t& header, RowFormat format);
  // One row of the page, in the page's row format.
  bool WriteRow(const uint8_t* row);
  // Prints the spooled page to its form feed.
  bool EndPage();
  // Ends the job at the printer and gives up the printer's turn. False when
  // no page got to the printer whole.
  bool Finish();

  pappl_job_t* job() const { return job_; }
  bool canceled() const { return papplJobIsCanceled(job_); }
  // Another thread has printed this job already: this one prints nothing.
  bool repeat() const { return repeat_; }
  unsigned pages() const { return printed_; }

 private:
  struct DeviceCloser {
    void operator()(pappl_device_t* device) const { papplDeviceClose(device); }
  };

  bool StreamFailed();

  pappl_job_t* job_;
  pappl_pr_options_t* options_;
  pappl_device_t* device_;
  std::unique_ptr<pappl_device_t, DeviceCloser> own_device_;
  std::optional<DeviceStream> stream_;
  PrinterJob printer_job_;
  CommandSetId command_set_ = CommandSetId::kLq;
  PrintAs print_as_ = PrintAs::kAuto;

  bool entered_ = false;
  bool repeat_ = false;  // another thread printed this job
  bool raw_ = false;
  bool finished_ = false;
  bool failed_ = false;

  int page_ = 0;  // pages begun
  unsigned printed_ = 0;
  std::optional<PageRequest> request_;
  std::unique_ptr<PageSpool> spool_;
  RowFormat format_ = RowFormat::kRgb;
};

}  // namespace zova::app
