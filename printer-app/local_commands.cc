// "devices" and "drivers" without PAPPL's versions: PAPPL's "drivers" makes
// a whole server system (which would wipe a running server's spool), and
// its "devices" prints avahi's absence as an error on standard output.
#include <pappl/pappl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "cli_commands.h"
#include "drivers.h"

namespace zova::app {
namespace {

struct Found {
  bool verbose = false;
  int devices = 0;
  bool no_dns_sd = false;
  std::string trouble;
};

bool ListDevice(const char* info, const char* uri, const char* device_id, void* data) {
  auto* found = static_cast<Found*>(data);
  ++found->devices;
  puts(uri);
  if (found->verbose && info != nullptr) printf("    %s\n", info);
  if (found->verbose && device_id != nullptr) printf("    %s\n", device_id);
  return false;  // go on
}

void NoteError(const char* message, void* data) {
  auto* found = static_cast<Found*>(data);
  // PAPPL's DNS-SD browser, which needs avahi-daemon.
  if (strstr(message, "service browser") != nullptr) {
    found->no_dns_sd = true;
  } else {
    found->trouble += std::string(found->trouble.empty() ? "" : "; ") + message;
  }
}

}  // namespace

int RunLocalCommand(const char* base_name, int argc, char* argv[]) {
  const std::string command = argv[1];
  if (command == "drivers") {
    for (const pappl_pr_driver_t& driver : Drivers()) {
      printf("%s \"%s\" \"%s\"\n", driver.name, driver.description,
             driver.device_id != nullptr ? driver.device_id : "");
    }
    return 0;
  }
  if (command != "devices") return -1;
  Found found;
  for (int i = 2; i + 1 < argc; ++i) {
    found.verbose |= strcmp(argv[i], "-o") == 0 && strncmp(argv[i + 1], "verbose", 7) == 0;
  }
  papplDeviceList(PAPPL_DEVTYPE_ALL, ListDevice, &found, NoteError, &found);
  fflush(stdout);
  // What could be searched is listed; what could not is said, not counted
  // as a failure: a device URI can always be typed.
  if (found.no_dns_sd) {
    fprintf(stderr,
            "%s: Network printers announced over DNS-SD are not listed: avahi-daemon is not "
            "running. Give a network printer as socket://HOST:9100.\n",
            base_name);
  }
  if (!found.trouble.empty()) {
    fprintf(stderr, "%s: Some devices may be missing: %s\n", base_name, found.trouble.c_str());
  }
  if (found.devices == 0) fprintf(stderr, "%s: No printers found.\n", base_name);
  return 0;
}

}  // namespace zova::app
