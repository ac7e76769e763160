// PAPPL 1.3.1's printer home page lists every job with its name and owner
// to anyone, signed in or not, and offers no hook to leave them out. Its
// page is drawn by its own _papplPrinterWebHome, while PAPPL's getters of a
// job's name and owner give "Withheld". The program exports the two getters
// (the linker exports what libpappl calls), so PAPPL's calls come here
// first. No test reads the home page's names yet; the IPP side is
// AppHistoryTest.OtherUsersJobsShowNoNames.
#include <dlfcn.h>

#include "pappl_fixes/pappl_fixes.h"

extern "C" void _papplPrinterWebHome(pappl_client_t* client, pappl_printer_t* printer);

namespace pappl_fixes {
namespace {

// Set while PAPPL draws the page for someone who may not see the names.
thread_local bool hiding_names = false;

template <typename Getter>
Getter Next(const char* name) {
  return reinterpret_cast<Getter>(dlsym(RTLD_NEXT, name));
}

}  // namespace

void ServePrinterHome(pappl_client_t* client, pappl_printer_t* printer, bool hide_names) {
  hiding_names = hide_names;
  _papplPrinterWebHome(client, printer);
  hiding_names = false;
}

}  // namespace pappl_fixes

extern "C" const char* papplJobGetName(pappl_job_t* job) {
  using Getter = const char* (*)(pappl_job_t*);
  static const Getter next = pappl_fixes::Next<Getter>("papplJobGetName");
  return pappl_fixes::hiding_names ? "Withheld" : next(job);
}

extern "C" const char* papplJobGetUsername(pappl_job_t* job) {
  using Getter = const char* (*)(pappl_job_t*);
  static const Getter next = pappl_fixes::Next<Getter>("papplJobGetUsername");
  return pappl_fixes::hiding_names ? "Withheld" : next(job);
}
