#include "device_change.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pappl_fixes/pappl_fixes.h"

namespace zova::app {
namespace {

// A vendor operation: the application's own.
constexpr ipp_op_t kSetPrinterDevice = static_cast<ipp_op_t>(0x4A01);
constexpr const char* kSystemUri = "ipp://localhost/ipp/system";

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};

pappl_printer_t* FindByName(pappl_system_t* system, const char* name) {
  struct Search {
    const char* name;
    pappl_printer_t* found = nullptr;
  } search{name};
  papplSystemIteratePrinters(
      system,
      [](pappl_printer_t* printer, void* data) {
        auto* s = static_cast<Search*>(data);
        if (strcmp(papplPrinterGetName(printer), s->name) == 0) s->found = printer;
      },
      &search);
  return search.found;
}

// Everything of a printer that a new one with the same name and number
// takes over.
struct Settings {
  std::string name, driver, device_id, location, geo_location, organization, unit, dnssd_name,
      print_group;
  int id = 0, max_active = 0, max_completed = 0, next_job = 0, impressions = 0;
  bool was_default = false;
  pappl_contact_t contact{};
  pappl_pr_driver_data_t data{};
  int num_vendor = 0;
  cups_option_t* vendor = nullptr;
  ~Settings() { cupsFreeOptions(num_vendor, vendor); }

  explicit Settings(pappl_printer_t* printer) {
    pappl_system_t* system = papplPrinterGetSystem(printer);
    char text[1024];
    const auto get = [&](char* (*getter)(pappl_printer_t*, char*, size_t)) {
      return std::string(getter(printer, text, sizeof text) != nullptr ? text : "");
    };
    name = papplPrinterGetName(printer);
    driver = papplPrinterGetDriverName(printer);
    const char* did = papplPrinterGetDeviceID(printer);
    device_id = did != nullptr ? did : "";
    location = get(papplPrinterGetLocation);
    geo_location = get(papplPrinterGetGeoLocation);
    organization = get(papplPrinterGetOrganization);
    unit = get(papplPrinterGetOrganizationalUnit);
    dnssd_name = get(papplPrinterGetDNSSDName);
    print_group = get(papplPrinterGetPrintGroup);
    papplPrinterGetContact(printer, &contact);
    id = papplPrinterGetID(printer);
    max_active = papplPrinterGetMaxActiveJobs(printer);
    max_completed = papplPrinterGetMaxCompletedJobs(printer);
    next_job = papplPrinterGetNextJobID(printer);
    impressions = papplPrinterGetImpressionsCompleted(printer);
    was_default = papplSystemGetDefaultPrinterID(system) == id;
    papplPrinterGetDriverData(printer, &data);
    ipp_t* attrs = papplPrinterGetDriverAttributes(printer);
    for (int i = 0; i < data.num_vendor; ++i) {
      const std::string default_name = std::string(data.vendor[i]) + "-default";
      ipp_attribute_t* attr = ippFindAttribute(attrs, default_name.c_str(), IPP_TAG_ZERO);
      if (attr != nullptr && ippAttributeString(attr, text, sizeof text) > 0) {
        num_vendor = cupsAddOption(data.vendor[i], text, num_vendor, &vendor);
      }
    }
    ippDelete(attrs);
  }

  void ApplyTo(pappl_printer_t* printer) {
    papplPrinterSetDriverDefaults(printer, &data, num_vendor, vendor);
    papplPrinterSetReadyMedia(printer, data.num_source, data.media_ready);
    papplPrinterSetLocation(printer, location.c_str());
    papplPrinterSetGeoLocation(printer, geo_location.empty() ? nullptr : geo_location.c_str());
    papplPrinterSetOrganization(printer, organization.c_str());
    papplPrinterSetOrganizationalUnit(printer, unit.c_str());
    if (!dnssd_name.empty()) papplPrinterSetDNSSDName(printer, dnssd_name.c_str());
    if (!print_group.empty()) papplPrinterSetPrintGroup(printer, print_group.c_str());
    papplPrinterSetContact(printer, &contact);
    papplPrinterSetMaxActiveJobs(printer, max_active);
    papplPrinterSetMaxCompletedJobs(printer, max_completed);
    papplPrinterSetNextJobID(printer, next_job);
    papplPrinterSetImpressionsCompleted(printer, impressions);
    if (was_default) papplSystemSetDefaultPrinterID(papplPrinterGetSystem(printer), id);
  }
};

pappl_printer_t* Recreate(pappl_system_t* system, const Settings& s, const char* uri) {
  return papplPrinterCreate(system, s.id, s.name.c_str(), s.driver.c_str(),
                            s.device_id.empty() ? nullptr : s.device_id.c_str(), uri);
}

bool OnOperation(pappl_client_t* client, void* /*data*/) {
  ipp_t* request = papplClientGetRequest(client);
  if (ippGetOperation(request) != kSetPrinterDevice) return false;
  if (const http_status_t auth = papplClientIsAuthorized(client); auth != HTTP_STATUS_CONTINUE) {
    papplClientRespond(client, auth, nullptr, nullptr, 0, 0);
    return true;
  }
  const char* name =
      ippGetString(ippFindAttribute(request, "printer-name", IPP_TAG_NAME), 0, nullptr);
  const char* uri =
      ippGetString(ippFindAttribute(request, "smi55357-device-uri", IPP_TAG_URI), 0, nullptr);
  pappl_system_t* system = papplClientGetSystem(client);
  pappl_printer_t* printer = name != nullptr ? FindByName(system, name) : nullptr;
  if (printer == nullptr || uri == nullptr) {
    papplClientRespondIPP(client, IPP_STATUS_ERROR_NOT_FOUND, "No printer named '%s'.",
                          name != nullptr ? name : "");
    return true;
  }
  if (!papplDeviceIsSupported(uri)) {
    papplClientRespondIPP(client, IPP_STATUS_ERROR_ATTRIBUTES_OR_VALUES,
                          "'%s' is not a device this application can print to.", uri);
    return true;
  }
  // PAPPL can move no job from one printer to another: a printer with jobs
  // not yet printed keeps its device.
  if (const int active = papplPrinterGetNumberOfActiveJobs(printer); active > 0) {
    papplClientRespondIPP(client, IPP_STATUS_ERROR_NOT_POSSIBLE,
                          "Printer '%s' has %d job(s) not yet printed: cancel them or let them "
                          "print, then change its device.",
                          name, active);
    return true;
  }
  const std::string old_uri = papplPrinterGetDeviceURI(printer);
  Settings settings(printer);
  papplPrinterDelete(printer);
  pappl_printer_t* changed = Recreate(system, settings, uri);
  if (changed == nullptr) changed = Recreate(system, settings, old_uri.c_str());
  if (changed != nullptr) settings.ApplyTo(changed);
  if (changed == nullptr || old_uri == papplPrinterGetDeviceURI(changed)) {
    papplClientRespondIPP(client, IPP_STATUS_ERROR_INTERNAL, "Unable to change the device of '%s'.",
                          name);
    return true;
  }
  papplLogPrinter(changed, PAPPL_LOGLEVEL_INFO, "Device changed from '%s' to '%s'.",
                  old_uri.c_str(), uri);
  papplClientRespondIPP(client, IPP_STATUS_OK, nullptr);
  return true;
}

}  // namespace

int ChangeDeviceCommand(const char* base_name, int argc, char* argv[]) {
  if (argc < 2 || strcmp(argv[1], "modify") != 0) return -1;
  std::string name, uri;
  bool others = false;
  for (int i = 2; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] != '-' || arg[1] == '-' || arg[1] == '\0') {
      others = true;
      continue;
    }
    for (const char* letter = arg + 1; *letter != '\0'; ++letter) {
      if (strchr("dhjmnouv", *letter) == nullptr || i + 1 >= argc) {
        others = true;
        continue;
      }
      const std::string value = argv[++i];
      if (*letter == 'd')
        name = value;
      else if (*letter == 'v')
        uri = value;
      else
        others = true;
    }
  }
  if (uri.empty()) return -1;
  if (others || name.empty()) {
    fprintf(stderr,
            "%s: Give the device alone: \"%s modify -d NAME -v DEVICE-URI\"; other changes in a "
            "second modify.\n",
            base_name, base_name);
    return 1;
  }
  const std::unique_ptr<http_t, HttpCloser> http(pappl_fixes::ConnectToServer(base_name));
  if (!http) return 1;
  ipp_t* request = ippNewRequest(kSetPrinterDevice);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr, kSystemUri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "printer-name", nullptr, name.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "smi55357-device-uri", nullptr,
               uri.c_str());
  ippDelete(cupsDoRequest(http.get(), request, "/ipp/system"));
  if (cupsLastError() != IPP_STATUS_OK) {
    fprintf(stderr, "%s: Unable to change the device of '%s': %s\n", base_name, name.c_str(),
            cupsLastErrorString());
    return 1;
  }
  return 0;
}

void InstallDeviceChange(pappl_system_t* system) {
  papplSystemSetOperationCallback(system, OnOperation, nullptr);
}

}  // namespace zova::app
