// No exception may leave a callback that PAPPL calls: it would end the whole
// server. Every callback runs its work through a guard: a throw of any kind
// gives the callback's defined failure, with the exception's message copied
// while it is still there.
#pragma once

#include <pappl/pappl.h>

#include <exception>
#include <new>
#include <string>

namespace zova::app {

// The message of the exception being handled; only inside a catch. Short
// texts stay in the string itself: no allocation when memory ran out.
inline std::string FailureText() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "Out of memory.";
  } catch (const std::exception& e) {
    try {
      return e.what();
    } catch (...) {
      return "Out of memory.";
    }
  } catch (...) {
    return "Unknown error.";
  }
}

// Runs `work`; on a throw hands the copied message to `report` and returns
// `failed`.
template <typename Result, typename Work, typename Report>
Result GuardWith(Result failed, Work&& work, Report&& report) noexcept {
  try {
    return work();
  } catch (...) {
    const std::string why = FailureText();
    try {
      report(why);
    } catch (...) {
    }
  }
  return failed;
}

// A job's callback: a throw fails the one job it came from.
template <typename Work>
bool Guarded(pappl_job_t* job, Work&& work) noexcept {
  return GuardWith(false, work, [job](const std::string& why) {
    if (job == nullptr) return;
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The job failed: %s", why.c_str());
    papplJobSetMessage(job, "The job failed: %s", why.c_str());
  });
}

// The server's callbacks (access, timers, saving, events): a throw logs
// `what` failed and gives `failed`.
template <typename Result, typename Work>
Result GuardedCall(pappl_system_t* system, const char* what, Result failed, Work&& work) noexcept {
  return GuardWith(failed, work, [system, what](const std::string& why) {
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "%s failed: %s", what, why.c_str());
  });
}

// A timer of PAPPL's: a throw logs and keeps a repeating timer (`keep`);
// a timer that runs once is not run again.
template <bool (*Callback)(pappl_system_t*, void*), bool keep = true>
bool GuardedTimer(pappl_system_t* system, void* data) noexcept {
  return GuardedCall(system, "A timer", keep, [&] { return Callback(system, data); });
}

}  // namespace zova::app
