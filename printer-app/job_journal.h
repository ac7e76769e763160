// What happened to the jobs, written to disk as it happens, so that a
// restart after a crash or a power cut knows which job was at the printer
// and which had printed, whatever the state file says. PAPPL 1.3.1 saves
// its state only now and then, and loads a job that was printing as
// "processing" with no thread to finish it: the printer then waits for good.
#pragma once

#include <pappl/pappl.h>

#include <set>
#include <string>
#include <utility>

namespace zova::app {

class JobJournal {
 public:
  // The journal beside the state file; false when it cannot be written.
  static bool Open(const std::string& path);
  // A job got its turn at the printer; it ended, printed whole or not.
  static void Started(pappl_job_t* job);
  static void Ended(pappl_job_t* job, bool printed);
  // The ordering code holds new jobs of the printer, or no longer does.
  static void Holding(pappl_printer_t* printer, bool holding);
};

// Jobs by printer ID and job ID.
using JobKey = std::pair<int, int>;

struct Recovery {
  std::set<JobKey> interrupted;  // were at the printer when the server went down
  bool holdReleased = false;     // a hold on new jobs of the ordering code was dropped
};

// Rewrites the state file before PAPPL loads it: a job that printed to its
// end is completed; one that was at the printer when the server went down
// is held, to be printed again only when someone releases it (a passbook
// line must not print twice); jobs the ordering code held wait again; the
// ordering code's hold on new jobs is dropped. Then the journal starts
// afresh. Writes the file anew only when something changes.
Recovery RecoverState(const std::string& state_file, const std::string& journal);

// Once the server runs: says why the interrupted jobs are held, and starts
// the oldest waiting job of every printer (PAPPL starts none after loading).
void ResumeAfterRestart(pappl_system_t* system, const Recovery& recovery);

}  // namespace zova::app
