// Runs the real rastertozova binary as CUPS does: arguments, PPD in the
// environment, raster on stdin or from a file; collects what it writes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "preview/stream_decoder.h"
#include "support/process.h"

namespace zova::testing {

struct FilterResult {
  std::vector<uint8_t> out;  // the printer stream
  std::string err;           // message lines
  int status = -1;           // exit status, or 128 + the signal that ended it
  long peakKiB = 0;          // peak resident memory
  // The stream read back by the preview's decoder. Every job that exits
  // must have written a stream the printer can parse: whole when it exits
  // 0, and up to a command boundary where it stopped otherwise.
  preview::DecodedStream decoded;
};

struct FilterOptions {
  std::vector<std::string> args;  // argv[1..]; argv[0] is the filter's path
  std::string ppd;                // $PPD; unset when empty and !ppdSet
  bool ppdSet = true;
  std::string stdinFile;   // raster on stdin from this file
  bool stdinPipe = false;  // or from a pipe the test writes
  // The printer stream: collected through a pipe, unless it goes to this
  // file (e.g. /dev/full) or into a pipe whose reader has gone.
  std::string stdoutFile;
  bool stdoutClosed = false;
  std::map<std::string, std::string> env;  // extra environment
  size_t addressSpaceLimit = 0;            // RLIMIT_AS in bytes; 0 for none
};

// A filter process; its output is collected in the background.
class FilterProcess {
 public:
  explicit FilterProcess(const FilterOptions& options);
  FilterProcess(const FilterProcess&) = delete;
  FilterProcess& operator=(const FilterProcess&) = delete;

  pid_t pid() const { return process_.pid(); }
  // The write end of stdin when stdinPipe is set; CloseStdin ends it.
  int stdinFd() const { return process_.stdinFd(); }
  void CloseStdin() { process_.CloseStdin(); }
  // Waits until the filter sleeps in a read of its stdin with SIGTERM
  // caught: the point where a cancel is meant to arrive.
  bool WaitUntilBlockedOnStdin() { return process_.WaitUntilBlockedOnStdin(); }
  void Signal(int sig) { process_.Signal(sig); }
  FilterResult Wait();

 private:
  Process process_;
};

// Runs the filter to the end.
FilterResult RunFilter(const FilterOptions& options);

// The standard six arguments for job `job_id`, plus a file when given.
std::vector<std::string> FilterArgs(const std::string& job_id, const std::string& file = "");

// Files in /tmp whose names start with "nfet<job_id>_".
std::vector<std::string> SpoolFilesOf(const std::string& job_id);

// A job ID no other test uses, also across processes.
std::string UniqueJobId(const std::string& tag);

}  // namespace zova::testing
