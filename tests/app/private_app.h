// A zova-printer-app server of the test's own: its state, spool and log in a
// scratch directory, IPP on a free port of 127.0.0.1, started and stopped by
// its process ID. Printers print to files in the scratch directory.
#pragma once

#include <cups/cups.h>
#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "integration/private_cupsd.h"
#include "support/private_server.h"

namespace zova::testing {

// For the program's commands in the sanitizer build: what PAPPL itself
// leaks is not the driver's.
inline const std::pair<const std::string, std::string> kLsanOptions = {
    "LSAN_OPTIONS", "suppressions=" ZOVA_LSAN_SUPPRESSIONS};

struct IppJob {
  int id = 0;         // 0 when the job was refused
  std::string error;  // why, when it was
};

class PrivateApp {
 public:
  // Returns nullptr and a reason when the server does not come up.
  // `server_options` are added as "-o NAME=VALUE".
  static std::unique_ptr<PrivateApp> Start(std::string* error,
                                           std::vector<std::string> server_options = {});
  // The same with the tests' own device scheme, zova-test, whose
  // devices live in `devices` (the scheme is added only with it set).
  static std::unique_ptr<PrivateApp> StartWithTestDevices(const std::string& devices,
                                                          std::string* error);
  // Ends the server with `sig` and waits for it: SIGKILL as a crash or a
  // power cut would, SIGTERM as the service's stop.
  void Kill(int sig = SIGKILL);
  // Starts the server again on the same state, port and devices.
  bool Restart(std::string* error) { return Launch(error); }
  ~PrivateApp();
  PrivateApp(const PrivateApp&) = delete;
  PrivateApp& operator=(const PrivateApp&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  int port() const { return port_; }
  pid_t pid() const { return server_.pid(); }
  std::string SystemUri() const;
  // The server's local socket: the owner's way in.
  std::string LocalSocket() const;
  std::string PrinterUri(const std::string& printer) const;
  // The stream a printer wrote to its file device.
  std::filesystem::path Output(const std::string& printer) const;
  std::string Log() const { return ReadFile(dir_ / "app.log"); }

  // Runs the program's own sub-command against this server.
  CommandResult Command(const std::vector<std::string>& args) const;
  // GET (or, with a form, POST) of a web page, anonymously or with the
  // administrator's `password`: the HTTP status (0 when there was no
  // answer) and the page.
  std::pair<int, std::string> Get(const std::string& path, const std::string& password = "",
                                  const std::string& form = "") const;
  // Submits a web page's form as the administrator: the page's session
  // value and `fields` (NAME=VALUE&...). The HTTP status.
  int PostForm(const std::string& path, const std::string& password,
               const std::string& fields) const;
  // Sets the administrator's password with the program's own command.
  bool SetAdminPassword(const std::string& password) const;
  // Adds a printer with `driver` that prints to Output(printer), or to
  // `device`.
  bool AddPrinter(const std::string& printer, const std::string& driver, std::string* error,
                  const std::string& device = "") const;

  // Print-Job with the document and job attributes given as NAME=VALUE
  // (integers, keywords and resolutions such as 360x360dpi).
  IppJob Print(const std::string& printer, const std::string& file, const std::string& format,
               const std::vector<std::string>& attributes = {}) const;
  // Sets printer attributes, e.g. zova-command-set-default=native; as the
  // owner, over the local socket, or as anyone, over TCP.
  bool SetPrinterAttributes(const std::string& printer, const std::vector<std::string>& attributes,
                            std::string* error, bool owner = true) const;
  bool CancelJob(const std::string& printer, int job) const;
  // Release-Job, Hold-Job, ...: whether it succeeded.
  bool JobOperation(ipp_op_t op, const std::string& printer, int job) const;
  // Pause-Printer, Delete-Printer, ... (the system's for an empty printer),
  // as the owner over the local socket or as anyone over TCP: the status.
  ipp_status_t Operation(ipp_op_t op, const std::string& printer, bool owner) const;
  // The job's state (IPP enum), 0 when it cannot be had.
  int JobState(const std::string& printer, int job) const;
  int WaitForJobEnd(const std::string& printer, int job, std::chrono::seconds timeout) const;
  // Attributes as text, as PrivateCupsd gives them.
  std::map<std::string, std::vector<std::string>> PrinterAttributes(
      const std::string& printer) const;
  std::map<std::string, std::vector<std::string>> JobAttributes(const std::string& printer,
                                                                int job) const;

 private:
  explicit PrivateApp(int port) : dir_(server_.dir()), port_(port) {}
  bool Launch(std::string* error);
  void Stop();
  std::unique_ptr<ipp_t, IppDeleter> Request(ipp_t* request, const std::string& resource,
                                             const std::string& file = "",
                                             bool owner = false) const;

  PrivateServer server_;
  std::vector<std::string> server_options_;
  std::filesystem::path dir_;
  int port_;
};

}  // namespace zova::testing
