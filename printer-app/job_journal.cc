#include "job_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "callback_guard.h"
#include "job_order.h"
#include "pappl_fixes/pappl_fixes.h"

namespace zova::app {
namespace {

int journal_fd = -1;

// One line, on the disk before the call returns.
void Append(const std::string& line) {
  if (journal_fd < 0) return;
  (void)!write(journal_fd, line.data(), line.size());
  fdatasync(journal_fd);
}

std::string Line(const char* event, pappl_job_t* job) {
  return std::string(event) + " " + std::to_string(papplPrinterGetID(papplJobGetPrinter(job))) +
         " " + std::to_string(papplJobGetID(job)) + "\n";
}

// A state file line's options, as PAPPL writes them: name="value", with
// backslash and quote escaped.
std::string Options(cups_option_t* options, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += std::string(" ") + options[i].name + "=\"";
    for (const char* p = options[i].value; *p != '\0'; ++p) {
      if (*p == '\\' || *p == '"') text += '\\';
      text += *p;
    }
    text += '"';
  }
  return text;
}

constexpr int kPending = 3, kHeld = 4, kProcessing = 5, kAborted = 8, kCompleted = 9;

struct Journal {
  std::set<JobKey> started;
  std::map<JobKey, bool> ended;  // printed whole, or not
  std::map<int, bool> holding;   // the ordering code holds new jobs
};

Journal ReadJournal(const std::string& path) {
  Journal journal;
  std::ifstream in(path);
  std::string event;
  int printer = 0, job = 0;
  while (in >> event >> printer) {
    if (event == "hold" || event == "release") {
      journal.holding[printer] = event == "hold";
      continue;
    }
    if (!(in >> job)) break;
    if (event == "start") journal.started.insert({printer, job});
    if (event == "printed" || event == "failed") journal.ended[{printer, job}] = event == "printed";
  }
  return journal;
}

// The job's new line, or the old one when nothing changes.
std::string RecoverJob(const std::string& line, int printer, const Journal& journal,
                       Recovery& recovery) {
  cups_option_t* options = nullptr;
  const int count = cupsParseOptions(line.c_str() + 4, 0, &options);
  const char* id_text = cupsGetOption("id", count, options);
  const char* state_text = cupsGetOption("state", count, options);
  const int id = id_text != nullptr ? atoi(id_text) : 0;
  const int state = state_text != nullptr ? atoi(state_text) : 0;
  const char* reasons_text = cupsGetOption("state_reasons", count, options);
  long reasons = reasons_text != nullptr ? atol(reasons_text) : 0;
  const JobKey key{printer, id};
  int new_state = state;
  if (state >= kPending && state <= kProcessing) {
    if (const auto ended = journal.ended.find(key); ended != journal.ended.end()) {
      new_state = ended->second ? kCompleted : kAborted;
    } else if (journal.started.count(key) != 0) {
      // Its first bytes may have printed.
      new_state = kHeld;
      reasons |= pappl_fixes::kStateFileHoldUntilSpecified;
      recovery.interrupted.insert(key);
    } else if (state == kProcessing ||
               (state == kHeld && (reasons & pappl_fixes::kStateFileHoldUntilSpecified) == 0)) {
      // Never got to the printer (PAPPL was still opening it), or held by
      // the ordering code: it waits its turn again.
      new_state = kPending;
    }
  }
  std::string result = line;
  if (new_state != state) {
    int n = cupsAddOption("state", std::to_string(new_state).c_str(), count, &options);
    n = cupsAddOption("state_reasons", std::to_string(reasons).c_str(), n, &options);
    n = cupsRemoveOption("processing", n, &options);
    if (new_state >= kAborted) {
      n = cupsAddOption("completed", std::to_string(time(nullptr)).c_str(), n, &options);
    }
    result = "Job" + Options(options, n);
    cupsFreeOptions(n, options);
  } else {
    cupsFreeOptions(count, options);
  }
  return result;
}

// Writes the file whole under another name, then puts it in place: a crash
// leaves the old file or the new one, never a part.
bool WriteAtomically(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written =
      write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
  close(fd);
  if (written && rename(temporary.c_str(), path.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

struct ResumeData {
  Recovery recovery;
};

void ResumePrinter(pappl_printer_t* printer, void* data) {
  const Recovery& recovery = static_cast<ResumeData*>(data)->recovery;
  const int printer_id = papplPrinterGetID(printer);
  for (const auto& [p, job_id] : recovery.interrupted) {
    if (p != printer_id) continue;
    if (pappl_job_t* job = papplPrinterFindJob(printer, job_id)) {
      papplJobSetMessage(job,
                         "Held: the job was printing when the printer application stopped. "
                         "Release it to print it again from its start.");
    }
  }
  JobOrder::For(printer).Resume(printer);
}

bool Resume(pappl_system_t* system, void* data) {
  const std::unique_ptr<ResumeData> resume(static_cast<ResumeData*>(data));
  papplSystemIteratePrinters(system, ResumePrinter, data);
  return false;  // once
}

}  // namespace

bool JobJournal::Open(const std::string& path) {
  journal_fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  return journal_fd >= 0;
}

void JobJournal::Started(pappl_job_t* job) { Append(Line("start", job)); }

void JobJournal::Ended(pappl_job_t* job, bool printed) {
  Append(Line(printed ? "printed" : "failed", job));
}

void JobJournal::Holding(pappl_printer_t* printer, bool holding) {
  Append(std::string(holding ? "hold " : "release ") + std::to_string(papplPrinterGetID(printer)) +
         "\n");
}

Recovery RecoverState(const std::string& state_file, const std::string& journal_path) {
  Recovery recovery;
  const Journal journal = ReadJournal(journal_path);
  std::ifstream in(state_file);
  std::string text, line;
  bool changed = false;
  int printer = 0;
  while (std::getline(in, line)) {
    std::string out = line;
    if (line.rfind("<Printer ", 0) == 0) {
      cups_option_t* options = nullptr;
      const int count = cupsParseOptions(line.c_str() + 9, 0, &options);
      const char* id = cupsGetOption("id", count, options);
      printer = id != nullptr ? atoi(id) : 0;
      cupsFreeOptions(count, options);
    } else if (line == "</Printer>") {
      printer = 0;
    } else if (line == "HoldNewJobs" && journal.holding.count(printer) != 0 &&
               journal.holding.at(printer)) {
      recovery.holdReleased = true;
      changed = true;
      continue;
    } else if (line.rfind("Job ", 0) == 0) {
      out = RecoverJob(line, printer, journal, recovery);
    }
    changed |= out != line;
    text += out + "\n";
  }
  in.close();
  if (changed && !WriteAtomically(state_file, text)) return {};
  // What the journal said is in the state file now. Should emptying it fail,
  // the next start reads the same lines again into the same state.
  (void)!truncate(journal_path.c_str(), 0);
  return recovery;
}

void ResumeAfterRestart(pappl_system_t* system, const Recovery& recovery) {
  papplSystemAddTimerCallback(system, 0, 0, GuardedTimer<Resume, false>, new ResumeData{recovery});
}

}  // namespace zova::app
