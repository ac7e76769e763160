// zova-printer-app: the ZOVA-QRT driver as an IPP Everywhere printer
// application. papplMainloop gives it its sub-commands (server, add,
// submit, ...); see app_system.h for the server's options. Its own:
//
//   zova-printer-app admin-password [-o state-directory=DIR]
//
// reads the administrator's password from standard input (admin_password.h).
#include <pappl/pappl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "admin_password.h"
#include "app_system.h"
#include "cli_commands.h"
#include "copies_option.h"
#include "device_change.h"
#include "device_id.h"
#include "drivers.h"
#include "offset_options.h"
#include "server_lock.h"

namespace {

using namespace zova::app;

// PAPPL's web pages crash on a null footer.
constexpr const char* kFooterHtml = "ZOVA-QRT printer application";

// PAPPL starts a private server of its own for a command that finds none,
// and leaves it running (as root with root's state): commands talk to a
// server that runs, or say there is none. "printers" asks the local server
// even when given -u.
bool NeedsMissingServer(int argc, char* argv[]) {
  static constexpr std::string_view kClients[] = {
      "add",     "autoadd", "cancel",   "default", "delete", "jobs",  "modify",
      "options", "pause",   "printers", "resume",  "status", "submit"};
  if (argc < 2) return false;
  const std::string_view command = argv[1];
  bool client = false;
  for (std::string_view c : kClients) client |= c == command;
  if (!client) return false;
  bool remote = false;
  for (int i = 2; i < argc; ++i) remote |= strcmp(argv[i], "-u") == 0;
  if (remote && command != "printers") return false;
  return !ServerAnswers(LocalSocket(getuid())) && !ServerAnswers(LocalSocket(0));
}

}  // namespace

int main(int argc, char* argv[]) {
  if (NeedsMissingServer(argc, argv)) {
    fprintf(stderr,
            "%s: no server is running (start one with \"%s server\", or \"systemctl start "
            "zova-printer-app\")\n",
            kAppName, kAppName);
    return 1;
  }
  if (const int status = ChangeDeviceCommand(kAppName, argc, argv); status >= 0) return status;
  if (argc >= 2) {
    if (const int status = SetDefaultOrDeletePrinter(kAppName, argc, argv); status >= 0) {
      return status;
    }
    if (const int status = RunLocalCommand(kAppName, argc, argv); status >= 0) return status;
    if (strcmp(argv[1], "status") == 0) return ShowStatus(kAppName, argc, argv);
  }
  if (const int status = CheckOffsetOptions(kAppName, argc, argv); status >= 0) return status;
  PassCopiesOption(argc, argv);
  // PAPPL names the local socket after the program's name: server and
  // clients meet under one name whatever the program was started as. (Its
  // own start of a private server, which the name would run, is not wanted.)
  static char app_name[] = "zova-printer-app";
  std::vector<char*> args(argv, argv + argc + 1);
  args[0] = app_name;
  const std::span<pappl_pr_driver_t> drivers = Drivers();
  const auto pappl = [&] {
    return papplMainloop(argc, args.data(), ZOVA_APP_VERSION, kFooterHtml,
                         static_cast<int>(drivers.size()), drivers.data(), AutoAddDriver,
                         DriverCallback, "admin-password", AdminPasswordCommand, CreateSystem,
                         PrintUsage, nullptr);
  };
  if (argc >= 2 && strcmp(argv[1], "options") == 0) return ShowOptions(kAppName, argc, argv, pappl);
  return pappl();
}
