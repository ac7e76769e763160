// The printer application's messages: the page pipeline's lines in the
// job's log, and what ends a job in its job-state-message.
#pragma once

#include <pappl/pappl.h>

#include <functional>

#include "messages/messages.h"

namespace zova::app {

class JobLog final : public Messages {
 public:
  // `counts_pages`: the route counts the job's impressions itself; PAPPL's
  // own raster routes count them.
  JobLog(pappl_job_t* job, bool counts_pages) : job_(job), counts_pages_(counts_pages) {}
  void Write(MessageLevel level, std::string_view text) override;
  void PagePrinted(int count) override;
  // Whether the printer has taken what has been sent: a page counts only
  // then.
  void SetDelivery(std::function<bool()> delivered) { delivered_ = std::move(delivered); }

 private:
  pappl_job_t* job_;
  bool counts_pages_;
  bool told_why_ = false;  // the job's message holds its first error
  std::function<bool()> delivered_;
};

}  // namespace zova::app
