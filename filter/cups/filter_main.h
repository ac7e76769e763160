// The skeleton every CUPS filter of the driver runs: its arguments, the
// cancel signal, the PPD and the job's options, the page driver on standard
// output, the PPD's identity check, the pages and the job's end. The
// programs differ only in where their pages come from.
#pragma once

#include <cups/ppd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "messages/messages.h"
#include "pipeline/job_scope.h"

namespace zova {

// What a route that writes its own pages is given.
struct FilterJob {
  int fd;                  // the job's input
  ppd_file_t* ppd;         // the queue's options marked, the job's over them
  const char* jobOptions;  // argv[5]
  int copies;              // argv[4]
  const JobSettings& settings;
  Messages& messages;
  // The filter's arguments as CUPS gave them, argv[0] to the file.
  std::vector<std::string> argv;
};

struct FilterInput {
  // Names the input in the message when its file cannot be opened.
  const char* what = "input file";
  // Reads the job's input from the descriptor, before the PPD is read.
  std::function<std::unique_ptr<PageSource>(int fd, Messages& messages)> open;
  // With the PPD and the job's options (argv[5]) read into the settings:
  // false when the job has nothing for the printer. It then ends with
  // `status` and no byte goes to the printer.
  std::function<bool(PageSource& source, ppd_file_t* ppd, const char* job_options,
                     JobSettings& settings, int& status)>
      prepare;
  // Instead of `open`: a route that prints the job's input through the job
  // itself (text), once it has begun and the PPD's identity is checked.
  std::function<void(JobScope& job, const FilterJob& filter)> print;
};

// The filter's main: argv as CUPS passes it (job-id user title copies
// options [file]). Returns the exit status.
int RunFilterJob(int argc, char* argv[], const char* program, const FilterInput& input);

}  // namespace zova
