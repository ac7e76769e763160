#include "cli_commands.h"

#include <pappl/pappl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "offset_options.h"
#include "pappl_fixes/pappl_fixes.h"
#include "vendor_options.h"

namespace zova::app {
namespace {

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};
struct FileCloser {
  void operator()(FILE* file) const { fclose(file); }
};
struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

// The values of -d and -u, read as PAPPL reads its options: each letter of
// "-xyz" that takes a value takes the next argument.
void PrinterArguments(int argc, char* argv[], std::string* name, std::string* uri) {
  for (int i = 2; i < argc; ++i) {
    if (argv[i][0] != '-' || argv[i][1] == '-') continue;
    for (const char* letter = argv[i] + 1; *letter != '\0' && i + 1 < argc; ++letter) {
      if (strchr("dhjmnouv", *letter) == nullptr) continue;
      ++i;
      if (*letter == 'd') *name = argv[i];
      if (*letter == 'u') *uri = argv[i];
    }
  }
}

using HttpPtr = std::unique_ptr<http_t, HttpCloser>;

// The server a command names with -u, or the local one.
HttpPtr Connect(const char* base_name, const std::string& uri, char* resource, size_t size) {
  return HttpPtr(uri.empty()
                     ? pappl_fixes::ConnectToServer(base_name)
                     : pappl_fixes::ConnectToPrinter(base_name, uri.c_str(), resource, size));
}

constexpr const char* kSystemUri = "ipp://localhost/ipp/system";

}  // namespace

int ShowOptions(const char* base_name, int argc, char* argv[],
                const std::function<int()>& pappl_options) {
  std::string listing;
  {
    // PAPPL prints to standard output: its listing is read back from a
    // file of its own, gone once closed.
    fflush(stdout);
    const std::unique_ptr<FILE, FileCloser> captured(tmpfile());
    const int saved = dup(1);
    if (!captured || saved < 0 || dup2(fileno(captured.get()), 1) < 0) {
      if (saved >= 0) close(saved);
      return pappl_options();
    }
    const int status = pappl_options();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    if (status != 0) return status;
    rewind(captured.get());
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, captured.get())) > 0) listing.append(buffer, n);
  }
  std::string name, uri;
  PrinterArguments(argc, argv, &name, &uri);
  char resource[1024] = "";
  const HttpPtr http = Connect(base_name, uri, resource, sizeof resource);
  if (!http) return 1;
  if (uri.empty()) {
    char found[256];
    if (name.empty() && pappl_fixes::DefaultPrinter(http.get(), found, sizeof found)) {
      name = found;
    }
    char buffer[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, buffer, sizeof buffer, "ipp", nullptr, "localhost", 0,
                     "/ipp/print/%s", name.c_str());
    uri = buffer;
    snprintf(resource, sizeof resource, "/ipp/print/%s", name.c_str());
  }

  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  const std::unique_ptr<ipp_t, IppDeleter> response(cupsDoRequest(http.get(), request, resource));
  if (cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
    fprintf(stderr, "%s: Unable to get the driver's options: %s\n", base_name,
            cupsLastErrorString());
    return 1;
  }

  // A job without offsets of its own takes those of the source it prints
  // from: the default source's ready media.
  ipp_t* media_col = ippGetCollection(
      ippFindAttribute(response.get(), "media-col-default", IPP_TAG_BEGIN_COLLECTION), 0);
  const char* default_source =
      ippGetString(ippFindAttribute(media_col, "media-source", IPP_TAG_KEYWORD), 0, nullptr);
  ipp_attribute_t* ready = ippFindAttribute(response.get(), "media-col-ready", IPP_TAG_ZERO);
  for (int i = 0; i < ippGetCount(ready) && default_source != nullptr; ++i) {
    ipp_t* col = ippGetCollection(ready, i);
    const char* source =
        ippGetString(ippFindAttribute(col, "media-source", IPP_TAG_KEYWORD), 0, nullptr);
    if (source != nullptr && strcmp(source, default_source) == 0) {
      media_col = col;
      break;
    }
  }
  const auto member = [&](const char* member_name) {
    return ippGetInteger(ippFindAttribute(media_col, member_name, IPP_TAG_INTEGER), 0);
  };
  int upper = 0;
  const int lower = ippGetRange(
      ippFindAttribute(response.get(), "media-top-offset-supported", IPP_TAG_RANGE), 0, &upper);
  fputs(OffsetsInMillimetres(listing, member("media-top-offset"), member("media-left-offset"),
                             lower, upper)
            .c_str(),
        stdout);
  std::string sources;
  ipp_attribute_t* source_list =
      ippFindAttribute(response.get(), "media-source-supported", IPP_TAG_KEYWORD);
  for (int i = 0; i < ippGetCount(source_list); ++i) {
    const char* source = ippGetString(source_list, i, nullptr);
    if (strcmp(source, "auto") == 0) continue;
    if (!sources.empty()) sources += ',';
    sources += source;
  }
  printf("  -o media-ready=SIZE,SIZE (the -o media= sizes loaded in %s, in that order)\n",
         sources.c_str());

  puts("\nDriver options:");
  for (const VendorOption* option : VendorOptions()) {
    const std::string default_name = std::string(option->name) + "-default";
    const char* preset = ippGetString(
        ippFindAttribute(response.get(), default_name.c_str(), IPP_TAG_KEYWORD), 0, nullptr);
    for (const VendorChoice& choice : option->choices) {
      const bool is_default = preset != nullptr && strcmp(preset, choice.keyword) == 0;
      printf("  -o %s=%s%s\n", option->name, choice.keyword, is_default ? " (default)" : "");
    }
  }
  return 0;
}

int SetDefaultOrDeletePrinter(const char* base_name, int argc, char* argv[]) {
  const bool set_default = strcmp(argv[1], "default") == 0;
  if (!set_default && strcmp(argv[1], "delete") != 0) return -1;
  std::string name, uri;
  PrinterArguments(argc, argv, &name, &uri);
  if (name.empty() || !uri.empty()) return -1;
  const HttpPtr http(pappl_fixes::ConnectToServer(base_name));
  if (!http) return 1;

  ipp_t* request = ippNewRequest(IPP_OP_GET_SYSTEM_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr, kSystemUri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
               "system-configured-printers");
  const std::unique_ptr<ipp_t, IppDeleter> response(
      cupsDoRequest(http.get(), request, "/ipp/system"));
  int id = 0;
  ipp_attribute_t* printers =
      ippFindAttribute(response.get(), "system-configured-printers", IPP_TAG_BEGIN_COLLECTION);
  for (int i = 0; i < ippGetCount(printers) && id == 0; ++i) {
    ipp_t* printer = ippGetCollection(printers, i);
    const char* printer_name =
        ippGetString(ippFindAttribute(printer, "printer-name", IPP_TAG_ZERO), 0, nullptr);
    if (printer_name != nullptr && name == printer_name) {
      id = ippGetInteger(ippFindAttribute(printer, "printer-id", IPP_TAG_INTEGER), 0);
    }
  }
  if (id == 0) {
    fprintf(stderr, "%s: No printer named '%s'.\n", base_name, name.c_str());
    return 1;
  }

  request = ippNewRequest(set_default ? IPP_OP_SET_SYSTEM_ATTRIBUTES : IPP_OP_DELETE_PRINTER);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr, kSystemUri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  if (set_default) {
    ippAddInteger(request, IPP_TAG_SYSTEM, IPP_TAG_INTEGER, "system-default-printer-id", id);
  } else {
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "printer-id", id);
  }
  ippDelete(cupsDoRequest(http.get(), request, "/ipp/system"));
  if (cupsLastError() != IPP_STATUS_OK) {
    fprintf(stderr, "%s: Unable to %s printer '%s': %s\n", base_name,
            set_default ? "set the default" : "delete", name.c_str(), cupsLastErrorString());
    return 1;
  }
  return 0;
}

int ShowStatus(const char* base_name, int argc, char* argv[]) {
  std::string name, uri;
  PrinterArguments(argc, argv, &name, &uri);
  char resource[1024] = "/ipp/system";
  const HttpPtr http = Connect(base_name, uri, resource, sizeof resource);
  if (!http) return 1;
  // A URI names a printer, or the system itself (.../ipp/system).
  const bool system_uri = !uri.empty() && strcmp(resource, "/ipp/system") == 0;
  const bool printer = !name.empty() || (!uri.empty() && !system_uri);
  if (uri.empty() && printer) {
    char buffer[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, buffer, sizeof buffer, "ipp", nullptr, "localhost", 0,
                     "/ipp/print/%s", name.c_str());
    uri = buffer;
    snprintf(resource, sizeof resource, "/ipp/print/%s", name.c_str());
  }
  const std::string prefix = printer ? "printer" : "system";
  ipp_t* request =
      ippNewRequest(printer ? IPP_OP_GET_PRINTER_ATTRIBUTES : IPP_OP_GET_SYSTEM_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, printer ? "printer-uri" : "system-uri",
               nullptr, printer || system_uri ? uri.c_str() : kSystemUri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  const std::string names[] = {prefix + "-state", prefix + "-state-change-date-time",
                               prefix + "-state-reasons"};
  const char* requested[] = {names[0].c_str(), names[1].c_str(), names[2].c_str()};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr,
                requested);
  const std::unique_ptr<ipp_t, IppDeleter> response(cupsDoRequest(http.get(), request, resource));
  ipp_attribute_t* state = ippFindAttribute(response.get(), names[0].c_str(), IPP_TAG_ENUM);
  if (cupsLastError() > IPP_STATUS_OK_CONFLICTING || state == nullptr) {
    fprintf(stderr, "%s: Unable to get the status of %s: %s\n", base_name,
            printer ? ("printer '" + (name.empty() ? uri : name) + "'").c_str() : "the server",
            cupsLastErrorString());
    return 1;
  }
  static constexpr const char* kStates[] = {"idle", "processing jobs", "stopped"};
  const int value = std::clamp(ippGetInteger(state, 0), 3, 5);
  // PAPPL leaves the time out until the state first changes.
  const time_t since = ippDateToTime(
      ippGetDate(ippFindAttribute(response.get(), names[1].c_str(), IPP_TAG_DATE), 0));
  char date[256] = "";
  if (since > 0) {
    httpGetDateString2(since, date, sizeof date);
  }
  std::string reasons;
  ipp_attribute_t* reason_list =
      ippFindAttribute(response.get(), names[2].c_str(), IPP_TAG_KEYWORD);
  for (int i = 0; i < ippGetCount(reason_list); ++i) {
    const char* reason = ippGetString(reason_list, i, nullptr);
    if (reason == nullptr || strcmp(reason, "none") == 0) continue;
    reasons += (reasons.empty() ? " (" : ", ") + std::string(reason);
  }
  if (!reasons.empty()) reasons += ")";
  printf("Running, %s%s%s%s.\n", kStates[value - 3], *date != '\0' ? " since " : "", date,
         reasons.c_str());
  return 0;
}

}  // namespace zova::app
