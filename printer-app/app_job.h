// One job of the printer application on its way to the printer: its turn at
// the printer, the stream over the device, and the pipeline's JobScope,
// which starts, prints and ends the job exactly as the CUPS filter does. The
// job's routes feed it: PAPPL's raster callbacks, the Ghostscript pages, a
// raw file.
#pragma once

#include <pappl/pappl.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "device_stream.h"
#include "dotmatrix/printer_models.h"
#include "job_log.h"
#include "job_order.h"
#include "page_record.h"
#include "pipeline/job_scope.h"
#include "pipeline/page_offsets.h"
#include "time_meter.h"

namespace zova::app {

// The stem of a job's spool file names in the application's page spool:
// nfet<stem>_<page>.ppm. The process ID keeps two servers apart, the
// printer ID two printers.
std::string SpoolStem(pappl_job_t* job);

// PAPPL's page header as the page driver takes it: 24-bit RGB rows, and the
// job's command set in OutputType as the PPD puts it there.
cups_page_header2_t RgbHeader(const cups_page_header2_t& header, const std::string& output_type);

class AppJob {
 public:
  // `counts_pages`: the route counts the job's impressions itself.
  AppJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, bool counts_pages);
  ~AppJob();
  AppJob(const AppJob&) = delete;
  AppJob& operator=(const AppJob&) = delete;

  // Keeps the printer bytes of the pages in `record` (which outlives the
  // job) while it records, for later copies. Before Start.
  void RecordPages(PageRecord* record) { record_ = record; }
  // Sends a page of the record again and counts it once the printer has
  // taken it whole. False when the job cannot go on (logged).
  bool SendRecordedPage(size_t page);

  // Waits for the job's turn at the printer and writes the job preamble,
  // unless the job is raw. False after a log entry when the job cannot print.
  bool Start(bool raw = false);
  // Sends a raw job's bytes as they are.
  bool WriteRaw(const void* data, size_t size);

  // A page in PAPPL's row format (8-bit grey or black, or 24-bit RGB).
  bool StartPage(const cups_page_header2_t& header);
  bool WriteRow(const uint8_t* row);
  bool EndPage();

  // Ends the job at the printer and gives up the printer's turn. False when
  // no page got to the printer whole.
  bool Finish();

  pappl_job_t* job() const { return job_; }
  // The job's command set, as the page header's OutputType names it.
  const std::string& outputType() const { return output_type_; }
  // After Start: the offsets the job prints with and the printer's model.
  const PageOffsets& offsets() const { return offsets_; }
  const PrinterModel* model() const { return model_; }
  JobScope& scope() { return *scope_; }
  PageDriver& driver() { return scope_->pages(); }
  Messages& messages() { return log_; }
  bool canceled() const { return papplJobIsCanceled(job_); }
  // Another thread has printed this job already: this one prints nothing.
  bool repeat() const { return repeat_; }

 private:
  struct StreamCloser {
    void operator()(FILE* stream) const { fclose(stream); }
  };
  struct DeviceCloser {
    void operator()(pappl_device_t* device) const { papplDeviceClose(device); }
  };
  enum class RowFormat { kRgb, kGrey, kBlack };

  bool StreamFailed();
  // Gives up the printer without another byte to it: the job failed.
  void Abandon() noexcept;

  pappl_job_t* job_;
  // Only while the job starts: PAPPL makes new options for every page of a
  // raster stream and frees the old.
  pappl_pr_options_t* options_;
  std::string output_type_ = "LQ";
  PageOffsets offsets_;
  const PrinterModel* model_ = nullptr;
  pappl_device_t* device_;
  JobLog log_;
  // A stopping server ends the job in hand at once, its children with it.
  CancelToken cancel_;
  std::unique_ptr<pappl_device_t, DeviceCloser> own_device_;
  // Before the stream, which feeds it to its last byte.
  std::optional<TimeMeter> meter_;
  std::optional<DeviceStream> stream_;
  PageRecord* record_ = nullptr;
  // The stream into the record and on to stream_, while there is a record.
  std::unique_ptr<FILE, StreamCloser> tee_;
  std::optional<OutputState> out_;
  std::optional<JobScope> scope_;

  // Exceptions on their way when the job began: more at its end is a throw
  // that leaves it.
  int uncaught_ = std::uncaught_exceptions();
  bool entered_ = false;
  bool repeat_ = false;  // another thread printed this job
  bool raw_ = false;
  bool finished_ = false;
  // The job could not start, or its printer stream broke: nothing more goes
  // to the printer. How the pages went is the scope's.
  bool failed_ = false;

  RowFormat format_ = RowFormat::kRgb;
  unsigned width_ = 0;  // pixels per row of the page in hand
};

}  // namespace zova::app
