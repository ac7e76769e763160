#include "job_log.h"

#include <string>

namespace zova::app {

void JobLog::Write(MessageLevel level, std::string_view text) {
  // The diagnostic lines keep the blank the filter writes after "DEBUG:".
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  const std::string line(text);
  switch (level) {
    case MessageLevel::kError:
      papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "%s", line.c_str());
      // The first error is why the job ends: the user reads it with the job.
      if (!told_why_) papplJobSetMessage(job_, "%s", line.c_str());
      told_why_ = true;
      break;
    case MessageLevel::kWarning:
      papplLogJob(job_, PAPPL_LOGLEVEL_WARN, "%s", line.c_str());
      break;
    case MessageLevel::kInfo:
      papplLogJob(job_, PAPPL_LOGLEVEL_INFO, "%s", line.c_str());
      break;
    case MessageLevel::kProgress:
    case MessageLevel::kDebug:
      papplLogJob(job_, PAPPL_LOGLEVEL_DEBUG, "%s", line.c_str());
      break;
  }
}

void JobLog::PagePrinted(int /*count*/) {
  if (counts_pages_ && (!delivered_ || delivered_())) papplJobSetImpressionsCompleted(job_, 1);
}

}  // namespace zova::app
