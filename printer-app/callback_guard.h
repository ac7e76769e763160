// No exception may leave a callback that PAPPL calls: it would end the whole
// server. Each callback runs its work through Guarded, and a throw fails the
// one job it came from.
#pragma once

#include <pappl/pappl.h>

#include <exception>
#include <new>

namespace zova::app {

template <typename Work>
bool Guarded(pappl_job_t* job, Work work) {
  const char* why;
  try {
    return work();
  } catch (const std::bad_alloc&) {
    why = "Out of memory.";
  } catch (const std::exception& e) {
    why = e.what();
  }
  if (job != nullptr) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The job failed: %s", why);
    papplJobSetMessage(job, "The job failed: %s", why);
  }
  return false;
}

}  // namespace zova::app
