// A CUPS scheduler of the test's own: cupsd started in the foreground with
// its configuration, socket, spool, logs and server binaries in a scratch
// directory, so jobs go through the real scheduler and filter chain without
// touching the machine's CUPS. The driver's programs are linked into the
// private filter directory the way the install lays them out.
#pragma once

#include <cups/ipp.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/private_server.h"

namespace zova::testing {

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

struct CommandResult {
  int status = -1;     // exit status, or -1 when the program did not run or end
  std::string output;  // standard output and standard error, interleaved
};

// One value of an attribute as text ("180x180dpi"); empty for collections
// and the like.
std::string IppValue(ipp_attribute_t* attribute, int i);

// Runs a program found on PATH, with extra environment entries (NAME=value).
CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::vector<std::string>& env = {});

std::string ReadFile(const std::filesystem::path& path);

// cupsfilter's CUPS raster of `file` through the PPD, with the job's
// options ("NAME=VALUE"), written to `raster`.
CommandResult ChainToRaster(const std::string& ppd, const std::string& file,
                            const std::vector<std::string>& options, const std::string& raster);

// IPP job states, as the scheduler reports them.
constexpr int kJobStopped = 6;
constexpr int kJobCanceled = 7;
constexpr int kJobAborted = 8;
constexpr int kJobCompleted = 9;

struct JobStatus {
  int state = 0;  // 0 when the scheduler could not be asked
  int mediaSheetsCompleted = -1;
  int impressionsCompleted = -1;
  std::string stateMessage;
};

struct CupsdConfig {
  std::string cupsd = "cupsd";  // the scheduler program
  std::string serverBin;        // the machine's CUPS server binary directory
  // Programs added to the private filter directory: name and built file.
  std::vector<std::pair<std::string, std::string>> filters;
};

class PrivateCupsd {
 public:
  // Returns nullptr and a reason when the scheduler does not come up.
  static std::unique_ptr<PrivateCupsd> Start(const CupsdConfig& config, std::string* error);
  ~PrivateCupsd();
  PrivateCupsd(const PrivateCupsd&) = delete;
  PrivateCupsd& operator=(const PrivateCupsd&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  std::string socket() const { return (dir_ / "cups.sock").string(); }
  // The first job of this scheduler gets this ID; it keeps the filter's
  // spool names (/tmp/nfet<job>_<page>) apart from other tests'.
  int firstJobId() const { return firstJobId_; }

  // Runs a CUPS client program (lp, lpadmin, cancel, ...) against this scheduler.
  CommandResult Client(const std::vector<std::string>& argv) const;
  // Adds an enabled queue with a PPD whose output goes to a file.
  bool AddQueue(const std::string& name, const std::string& ppd,
                const std::filesystem::path& output, std::string* error) const;
  // Submits with lp; returns the job ID or 0.
  int Submit(const std::string& queue, const std::vector<std::string>& options,
             const std::string& file, std::string* error) const;

  JobStatus Job(int id) const;
  // A queue's IPP attributes, each value as text ("180x180dpi").
  std::map<std::string, std::vector<std::string>> PrinterAttributes(const std::string& queue) const;
  // Polls until the job is canceled, aborted or completed, or time is up.
  JobStatus WaitForJobEnd(int id, std::chrono::seconds timeout) const;

  std::string ErrorLog() const { return ReadFile(dir_ / "log" / "error_log"); }
  std::string PageLog() const { return ReadFile(dir_ / "log" / "page_log"); }
  // The error log lines of one job.
  std::vector<std::string> JobLog(int id) const;

 private:
  explicit PrivateCupsd(int first_job_id) : dir_(server_.dir()), firstJobId_(first_job_id) {}
  bool Launch(const CupsdConfig& config, std::string* error);
  // Sends an IPP request (taking it over) and returns the response.
  std::unique_ptr<ipp_t, IppDeleter> Request(ipp_t* request) const;
  void Stop();

  PrivateServer server_;
  std::filesystem::path dir_;
  int firstJobId_;
};

}  // namespace zova::testing
