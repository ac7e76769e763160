#include "job_privacy.h"

#include <strings.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "pappl_fixes/pappl_fixes.h"
#include "request_checks.h"

namespace zova::app {
namespace {

// What names a job's sender and its document, as CUPS keeps them private.
constexpr const char* kPrivate[] = {"job-name", "job-originating-user-name",
                                    "job-originating-user-uri", "document-name-supplied",
                                    "document-name"};

// Who asks: the signed-in user, else requesting-user-name. A request that
// names no one owns no job.
std::string Requester(pappl_client_t* client, ipp_t* request) {
  if (const char* user = papplClientGetUsername(client); user != nullptr && *user != '\0') {
    return user;
  }
  const char* name =
      ippGetString(ippFindAttribute(request, "requesting-user-name", IPP_TAG_NAME), 0, nullptr);
  return name != nullptr ? name : "";
}

bool Owns(const std::string& requester, pappl_job_t* job) {
  const char* owner = papplJobGetUsername(job);
  return !requester.empty() && owner != nullptr && requester == owner;
}

// Whether a Get-Jobs shows a job that is not the requester's, with PAPPL's
// choice of jobs (which-jobs, my-jobs).
struct JobsInView {
  std::string requester;
  int which = 0;  // -1 not completed, 1 completed, 0 all
  const char* mine = nullptr;
  bool others = false;
};

void CheckJob(pappl_job_t* job, void* data) {
  auto* view = static_cast<JobsInView*>(data);
  const bool done = papplJobGetState(job) >= IPP_JSTATE_CANCELED;
  if ((view->which < 0 && done) || (view->which > 0 && !done)) return;
  const char* owner = papplJobGetUsername(job);
  if (view->mine != nullptr && owner != nullptr && strcasecmp(view->mine, owner) != 0) return;
  if (!Owns(view->requester, job)) view->others = true;
}

bool ShowsOthersJobs(pappl_printer_t* printer, ipp_t* request, const std::string& requester) {
  JobsInView view{requester};
  const char* which =
      ippGetString(ippFindAttribute(request, "which-jobs", IPP_TAG_KEYWORD), 0, nullptr);
  view.which = which == nullptr || strcmp(which, "not-completed") == 0 ? -1
               : strcmp(which, "completed") == 0                       ? 1
                                                                       : 0;
  if (ippGetBoolean(ippFindAttribute(request, "my-jobs", IPP_TAG_BOOLEAN), 0)) {
    view.mine =
        ippGetString(ippFindAttribute(request, "requesting-user-name", IPP_TAG_NAME), 0, nullptr);
  }
  papplPrinterIterateAllJobs(printer, CheckJob, &view, 1, 0);
  return view.others;
}

// The attributes the request asks for, its groups ("all", "job-description",
// ...) spelled out; for "all" or none at all, every job attribute libcups
// knows and the driver's own.
std::set<std::string> Requested(pappl_printer_t* printer, ipp_t* request) {
  std::set<std::string> names;
  cups_array_t* asked = ippCreateRequestedArray(request);
  if (asked == nullptr) {
    ipp_t* all = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    static const char* const kGroups[] = {"job-description", "job-template"};
    ippAddStrings(all, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                  kGroups);
    asked = ippCreateRequestedArray(all);
    ippDelete(all);
    pappl_pr_driver_data_t driver;
    if (papplPrinterGetDriverData(printer, &driver) != nullptr) {
      for (int i = 0; i < driver.num_vendor; ++i) names.insert(driver.vendor[i]);
    }
  }
  for (auto* name = static_cast<const char*>(cupsArrayFirst(asked)); name != nullptr;
       name = static_cast<const char*>(cupsArrayNext(asked))) {
    names.insert(name);
  }
  cupsArrayDelete(asked);
  return names;
}

// Asks for the same attributes but the private ones.
void WithoutNames(pappl_printer_t* printer, ipp_t* request) {
  std::set<std::string> names = Requested(printer, request);
  bool narrowed = false;
  for (const char* p : kPrivate) narrowed |= names.erase(p) > 0;
  if (!narrowed) return;
  if (names.empty()) names.insert("job-id");
  // Every copy, of whatever syntax: PAPPL would take a wrong one as "all".
  while (ipp_attribute_t* old = ippFindAttribute(request, "requested-attributes", IPP_TAG_ZERO)) {
    ippDeleteAttribute(request, old);
  }
  std::vector<const char*> values;
  for (const std::string& name : names) values.push_back(name.c_str());
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(values.size()), nullptr, values.data());
}

}  // namespace

http_status_t CheckJobPrivacy(pappl_client_t* client, bool administrator) {
  ipp_t* request = papplClientGetRequest(client);
  pappl_printer_t* printer = papplClientGetPrinter(client);
  if (administrator || request == nullptr || printer == nullptr) return HTTP_STATUS_CONTINUE;
  const std::string requester = Requester(client, request);
  if (ippGetOperation(request) == IPP_OP_GET_JOB_ATTRIBUTES) {
    // PAPPL answers "not found" without a job.
    pappl_job_t* job = papplClientGetJob(client);
    if (job == nullptr || Owns(requester, job)) return HTTP_STATUS_CONTINUE;
  } else if (!ShowsOthersJobs(printer, request, requester)) {
    return HTTP_STATUS_CONTINUE;
  }
  WithoutNames(printer, request);
  return HTTP_STATUS_CONTINUE;
}

void ShowPrinterHome(pappl_client_t* client, pappl_printer_t* printer) {
  pappl_fixes::ServePrinterHome(client, printer,
                                papplClientIsAuthorized(client) != HTTP_STATUS_CONTINUE);
}

}  // namespace zova::app
