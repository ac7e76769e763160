#include "support/filter_runner.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

namespace zova::testing {
namespace {

// Decodes what the filter wrote and fails the test if the printer could not
// parse it.
void CheckStream(FilterResult* result) {
  result->decoded = preview::DecodeStream(result->out);
  const std::optional<preview::StreamError>& error = result->decoded.error;
  if (!error || result->status < 0 || result->status >= 128) return;
  if (result->status == 0) {
    ADD_FAILURE() << "the printer stream does not decode: byte " << error->offset << ": "
                  << error->message;
  } else if (error->offset != result->out.size()) {
    ADD_FAILURE() << "the failed job's stream breaks off before its end: byte " << error->offset
                  << ": " << error->message;
  }
}

ProcessOptions FilterProcessOptions(const FilterOptions& options) {
  ProcessOptions o;
  o.args = options.args;
  o.args.insert(o.args.begin(), ZOVA_FILTER_PATH);
  o.unsetEnv = {"PPD"};
  if (options.ppdSet) o.env["PPD"] = options.ppd;
  for (const auto& [k, v] : options.env) o.env[k] = v;
  o.stdinFile = options.stdinFile;
  o.stdinPipe = options.stdinPipe;
  o.stdoutFile = options.stdoutFile;
  o.stdoutClosed = options.stdoutClosed;
  o.addressSpaceLimit = options.addressSpaceLimit;
  return o;
}

}  // namespace

FilterProcess::FilterProcess(const FilterOptions& options)
    : process_(FilterProcessOptions(options)) {}

FilterResult FilterProcess::Wait() {
  const ProcessResult run = process_.Wait();
  FilterResult result;
  result.out.assign(run.out.begin(), run.out.end());
  result.err = run.err;
  result.status = run.status;
  result.peakKiB = run.peakKiB;
  CheckStream(&result);
  return result;
}

FilterResult RunFilter(const FilterOptions& options) {
  FilterProcess process(options);
  return process.Wait();
}

std::vector<std::string> FilterArgs(const std::string& job_id, const std::string& file) {
  std::vector<std::string> args = {job_id, "tester", "title", "1", ""};
  if (!file.empty()) args.push_back(file);
  return args;
}

std::vector<std::string> SpoolFilesOf(const std::string& job_id) {
  std::vector<std::string> found;
  const std::string prefix = "nfet" + job_id + "_";
  if (DIR* dir = opendir("/tmp")) {
    while (dirent* entry = readdir(dir)) {
      if (strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0) {
        found.push_back(std::string("/tmp/") + entry->d_name);
      }
    }
    closedir(dir);
  }
  return found;
}

std::string UniqueJobId(const std::string& tag) {
  static int counter = 0;
  return tag + std::to_string(getpid()) + "x" + std::to_string(++counter);
}

}  // namespace zova::testing
