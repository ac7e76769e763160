#include "admin_password.h"

#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>

#include "access.h"
#include "app_system.h"

namespace zova::app {
namespace {

constexpr const char* kStatePath = "/zova/state-directory";

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};

std::string served_state_dir;

bool StatePage(pappl_client_t* client, void* /*data*/) {
  http_t* http = papplClientGetHTTP(client);
  // Only the owner reaches the local socket: nobody else learns the path.
  if (httpAddrFamily(httpGetAddress(http)) != AF_LOCAL) {
    papplClientRespond(client, HTTP_STATUS_FORBIDDEN, nullptr, nullptr, 0, 0);
    return true;
  }
  const std::string body = served_state_dir + "\n";
  if (papplClientRespond(client, HTTP_STATUS_OK, nullptr, "text/plain", 0, body.size())) {
    httpWrite2(http, body.data(), body.size());
  }
  return true;
}

// The state directory of the server on the local socket, "" when none
// answers or it does not say.
std::string AskServer() {
  const std::unique_ptr<http_t, HttpCloser> http(
      httpConnect2(LocalSocket(getuid()).c_str(), 0, nullptr, AF_LOCAL, HTTP_ENCRYPTION_NEVER, 1,
                   5000, nullptr));
  if (!http) return "";
  httpClearFields(http.get());
  httpSetField(http.get(), HTTP_FIELD_HOST, "localhost");
  if (httpGet(http.get(), kStatePath) != 0) return "";
  http_status_t status;
  while ((status = httpUpdate(http.get())) == HTTP_STATUS_CONTINUE) {
  }
  std::string body;
  char buffer[1024];
  ssize_t n;
  while (status == HTTP_STATUS_OK && body.size() < 8192 &&
         (n = httpRead2(http.get(), buffer, sizeof buffer)) > 0) {
    body.append(buffer, static_cast<size_t>(n));
  }
  if (status != HTTP_STATUS_OK || body.empty() || body.back() != '\n' || body[0] != '/') return "";
  body.pop_back();
  return body;
}

// A password typed on a terminal is not shown.
class NoEcho {
 public:
  NoEcho() : active_(isatty(0) && tcgetattr(0, &saved_) == 0) {
    if (!active_) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(0, TCSAFLUSH, &quiet);
  }
  ~NoEcho() {
    if (!active_) return;
    tcsetattr(0, TCSAFLUSH, &saved_);
    std::cerr << '\n';
  }
  NoEcho(const NoEcho&) = delete;
  NoEcho& operator=(const NoEcho&) = delete;

 private:
  termios saved_{};
  bool active_;
};

}  // namespace

void ServeStateDirectory(pappl_system_t* system, const std::string& state_dir) {
  std::error_code ec;
  served_state_dir = std::filesystem::absolute(state_dir, ec).lexically_normal().string();
  papplSystemAddResourceCallback(system, kStatePath, "text/plain", StatePage, nullptr);
}

int AdminPasswordCommand(const char* base_name, int num_options, cups_option_t* options,
                         int /*num_files*/, char** /*files*/, void* /*data*/) {
  std::string state_dir;
  if (cupsGetOption("state-directory", num_options, options) != nullptr) {
    state_dir = StateDirectory(num_options, options);
  } else if (state_dir = AskServer(); state_dir.empty()) {
    // Written where no server looks, a password would change nothing.
    fprintf(stderr,
            "%s: no running server says where its state directory is: give the one the server "
            "is started with, e.g. \"%s admin-password -o state-directory=%s\".\n",
            base_name, base_name, StateDirectory(0, nullptr).c_str());
    return 1;
  }
  if (!std::filesystem::is_directory(state_dir)) {
    fprintf(stderr, "%s: %s is not a server's state directory (no such directory).\n", base_name,
            state_dir.c_str());
    return 1;
  }
  if (isatty(0)) std::cerr << "New administrator password for " << state_dir << ": " << std::flush;
  std::string password;
  {
    const NoEcho no_echo;
    if (!std::getline(std::cin, password)) return 1;
  }
  if (!SetAdminPassword(state_dir, password)) return 1;
  fprintf(stderr,
          "%s: password set in %s. On the web page log in with any user name and this "
          "password.\n",
          base_name, state_dir.c_str());
  return 0;
}

void PrintUsage(void* /*data*/) {
  printf(
      "Usage: %s SUB-COMMAND [OPTIONS] [FILENAME]\n"
      "       %s [OPTIONS] [FILENAME]\n"
      "       %s [OPTIONS] -\n\n"
      "Sub-commands:\n"
      "  add PRINTER      Add a printer.\n"
      "  admin-password   Set the administrator's password (read from standard input)\n"
      "                   for the web page and IPP clients: any user name with it.\n"
      "                   The running server's state directory, or -o state-directory=DIR.\n"
      "  cancel           Cancel one or more jobs.\n"
      "  default          Set the default printer.\n"
      "  delete           Delete a printer.\n"
      "  devices          List devices.\n"
      "  drivers          List drivers.\n"
      "  jobs             List jobs.\n"
      "  modify           Modify a printer.\n"
      "  options          List printer options.\n"
      "  pause            Pause printing for a printer.\n"
      "  printers         List printers.\n"
      "  resume           Resume printing for a printer.\n"
      "  server           Run a server.\n"
      "  shutdown         Shutdown a running server.\n"
      "  status           Show server/printer/job status.\n"
      "  submit           Submit a file for printing.\n\n"
      "Options:\n"
      "  -a               Cancel all jobs (cancel).\n"
      "  -d PRINTER       Specify printer.\n"
      "  -j JOB-ID        Specify job ID (cancel).\n"
      "  -m DRIVER-NAME   Specify driver (add/modify).\n"
      "  -n COPIES        Specify number of copies (submit).\n"
      "  -o NAME=VALUE    Specify option (add,admin-password,modify,server,submit).\n"
      "  -u URI           Specify ipp: or ipps: printer/server.\n"
      "  -v DEVICE-URI    Specify socket: or usb: device (add/modify).\n"
      "  --help           Show this help.\n"
      "  --version        Show the program version.\n",
      kAppName, kAppName, kAppName);
}

}  // namespace zova::app
