#include "state_check.h"

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace zova::app {
namespace {

// The directives PAPPL 1.3.1 writes (system-loadsave.c), outside a printer
// and inside one. Like PAPPL, case does not matter.
constexpr std::string_view kSystemDirectives[] = {"DNSSDName",
                                                  "Location",
                                                  "GeoLocation",
                                                  "Organization",
                                                  "OrganizationalUnit",
                                                  "Contact",
                                                  "AdminGroup",
                                                  "DefaultPrintGroup",
                                                  "Password",
                                                  "DefaultPrinterID",
                                                  "MaxImageSize",
                                                  "NextPrinterID",
                                                  "UUID"};
constexpr std::string_view kPrinterDirectives[] = {"DNSSDName",
                                                   "Location",
                                                   "GeoLocation",
                                                   "Organization",
                                                   "OrganizationalUnit",
                                                   "Contact",
                                                   "HoldNewJobs",
                                                   "PrintGroup",
                                                   "MaxActiveJobs",
                                                   "MaxCompletedJobs",
                                                   "NextJobId",
                                                   "ImpressionsCompleted",
                                                   "Job"};

bool Same(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool EndsWith(std::string_view word, std::string_view end) {
  return word.size() > end.size() && word.substr(word.size() - end.size()) == end;
}

template <size_t N>
bool OneOf(std::string_view word, const std::string_view (&list)[N]) {
  for (std::string_view known : list) {
    if (Same(word, known)) return true;
  }
  return false;
}

// Why the file cannot be read, with its line number; nothing when it can.
std::optional<std::string> Fault(std::ifstream& in) {
  std::string line;
  int number = 0;
  bool in_printer = false, uuid = false;
  while (std::getline(in, line)) {
    ++number;
    const std::string_view word = std::string_view(line).substr(0, line.find(' '));
    bool known = false;
    if (in_printer) {
      known = Same(word, "</Printer>") || OneOf(word, kPrinterDirectives) ||
              word.rfind("media-col-ready", 0) == 0 || EndsWith(word, "-default") ||
              EndsWith(word, "-configured");
      in_printer = !Same(word, "</Printer>");
    } else if (Same(word, "<Printer") && line.size() > word.size() + 1 && line.back() == '>') {
      known = in_printer = true;
    } else {
      known = OneOf(word, kSystemDirectives);
      uuid |= Same(word, "UUID");
    }
    if (!known) {
      std::string shown = line.substr(0, 60);
      for (char& c : shown) {
        if (static_cast<unsigned char>(c) < ' ' || static_cast<unsigned char>(c) >= 0x7f) c = '?';
      }
      return "line " + std::to_string(number) + " is not a state directive: " + shown +
             (line.size() > shown.size() ? "..." : "");
    }
  }
  if (number == 0) return std::string("it is empty");
  if (in_printer) return "it ends at line " + std::to_string(number) + " inside a printer";
  if (!uuid) return "it ends at line " + std::to_string(number) + " without the system's UUID";
  return std::nullopt;
}

}  // namespace

bool KeepAsideUnreadableState(pappl_system_t* system, const std::string& state_file) {
  std::ifstream in(state_file, std::ios::binary);
  if (!in.is_open()) return true;  // a first start
  const std::optional<std::string> fault = Fault(in);
  in.close();
  if (!fault) return true;
  char stamp[32];
  const time_t now = time(nullptr);
  tm local{};
  strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", localtime_r(&now, &local));
  std::string kept = state_file + ".bad-" + stamp;
  // Never over an earlier one.
  for (int n = 2; access(kept.c_str(), F_OK) == 0; ++n) {
    kept = state_file + ".bad-" + stamp + "-" + std::to_string(n);
  }
  if (rename(state_file.c_str(), kept.c_str()) != 0) {
    papplLog(system, PAPPL_LOGLEVEL_FATAL,
             "The state file %s cannot be read: %s. It cannot be kept aside either (%s): the "
             "server does not start, so as not to write over it.",
             state_file.c_str(), fault->c_str(), strerror(errno));
    fprintf(stderr, "ERROR: The state file %s cannot be read (%s) nor moved aside.\n",
            state_file.c_str(), fault->c_str());
    return false;
  }
  papplLog(system, PAPPL_LOGLEVEL_ERROR,
           "The state file %s cannot be read: %s. It is kept as %s; the server starts with no "
           "printers and no jobs.",
           state_file.c_str(), fault->c_str(), kept.c_str());
  return true;
}

}  // namespace zova::app
