#include "app/private_app.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace zova::testing {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};

// NAME=VALUE as an IPP attribute of the group: a resolution, an integer or
// a keyword, by the look of the value.
void AddAttribute(ipp_t* ipp, ipp_tag_t group, const std::string& text) {
  const size_t eq = text.find('=');
  const std::string name = text.substr(0, eq);
  const std::string value = text.substr(eq + 1);
  int x = 0, y = 0;
  char unit[4] = {};
  if (value.size() >= 2 && value.front() == '{' && value.back() == '}') {
    // A collection: {NAME=VALUE NAME=VALUE ...}.
    ipp_t* col = ippNew();
    std::istringstream members(value.substr(1, value.size() - 2));
    for (std::string member; members >> member;) AddAttribute(col, group, member);
    ippAddCollection(ipp, group, name.c_str(), col);
    ippDelete(col);
  } else if (sscanf(value.c_str(), "%dx%d%3s", &x, &y, unit) == 3 && strcmp(unit, "dpi") == 0) {
    ippAddResolution(ipp, group, name.c_str(), IPP_RES_PER_INCH, x, y);
  } else if (!value.empty() && value.find_first_not_of("-0123456789") == std::string::npos) {
    ippAddInteger(ipp, group, IPP_TAG_INTEGER, name.c_str(), atoi(value.c_str()));
  } else {
    ippAddString(ipp, group, IPP_TAG_KEYWORD, name.c_str(), nullptr, value.c_str());
  }
}

// A request to `uri` with the operation attributes every request carries;
// job or printer attributes follow them.
ipp_t* NewRequest(ipp_op_t op, const std::string& uri) {
  ipp_t* request = ippNewRequest(op);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI,
               uri.find("/ipp/system") != std::string::npos ? "system-uri" : "printer-uri", nullptr,
               uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  return request;
}

}  // namespace

std::unique_ptr<PrivateApp> PrivateApp::StartWithTestDevices(const std::string& devices,
                                                             std::string* error) {
  setenv("ZOVA_TEST_DEVICE_DIR", devices.c_str(), 1);
  std::unique_ptr<PrivateApp> app = Start(error);
  unsetenv("ZOVA_TEST_DEVICE_DIR");
  return app;
}

std::unique_ptr<PrivateApp> PrivateApp::Start(std::string* error,
                                              std::vector<std::string> server_options) {
  std::unique_ptr<PrivateApp> app(new PrivateApp(FreePort()));
  app->server_options_ = std::move(server_options);
  if (app->port_ == 0) {
    *error = "no free port on 127.0.0.1";
    return nullptr;
  }
  if (!app->Launch(error)) return nullptr;
  return app;
}

bool PrivateApp::Launch(std::string* error) {
  // A server still running holds the state directory: the new one would be
  // refused.
  Stop();
  fs::create_directories(dir_ / "out");
  const std::string d = dir_.string();
  ProcessOptions options;
  options.args = {ZOVA_PRINTER_APP,
                  "server",
                  "-o",
                  "state-directory=" + d + "/state",
                  "-o",
                  "log-file=" + d + "/app.log",
                  "-o",
                  "log-level=debug",
                  "-o",
                  "listen-hostname=127.0.0.1",
                  "-o",
                  "server-port=" + std::to_string(port_)};
  for (const std::string& option : server_options_) {
    options.args.insert(options.args.end(), {"-o", option});
  }
  // No system bus, as on a machine without avahi-daemon, wherever the tests
  // run.
  // PAPPL puts a root server's local socket in /run, the same for every
  // server, unless SNAP_COMMON says where: the tests run as root in CI.
  options.env = {{"ZOVA_HALFTONE_TOOL", ZOVA_HALFTONE_TOOL},
                 {"TMPDIR", d},
                 {"SNAP_COMMON", d},
                 {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent"},
                 kLsanOptions};
  const auto answers = [this] {
    const auto response =
        Request(NewRequest(IPP_OP_GET_SYSTEM_ATTRIBUTES, SystemUri()), "/ipp/system");
    return response && ippGetStatusCode(response.get()) == IPP_STATUS_OK;
  };
  switch (server_.Launch(options, dir_ / "server.out", answers, 30s)) {
    case PrivateServer::kAnswering:
      return true;
    case PrivateServer::kExited:
      *error = "zova-printer-app exited at start:\n" + ReadFile(dir_ / "server.out") + Log();
      return false;
    case PrivateServer::kSilent:
      break;
  }
  *error = "zova-printer-app did not answer on port " + std::to_string(port_);
  return false;
}

void PrivateApp::Stop() { server_.Stop(20s); }

void PrivateApp::Kill(int sig) { server_.Kill(sig); }

PrivateApp::~PrivateApp() { Stop(); }

std::string PrivateApp::LocalSocket() const {
  return (dir_ / (getuid() != 0 ? "zova-printer-app" + std::to_string(getuid()) + ".sock"
                                : std::string("zova-printer-app.sock")))
      .string();
}

std::string PrivateApp::SystemUri() const {
  return "ipp://127.0.0.1:" + std::to_string(port_) + "/ipp/system";
}

std::string PrivateApp::PrinterUri(const std::string& printer) const {
  return "ipp://127.0.0.1:" + std::to_string(port_) + "/ipp/print/" + printer;
}

fs::path PrivateApp::Output(const std::string& printer) const {
  return dir_ / "out" / (printer + ".prn");
}

CommandResult PrivateApp::Command(const std::vector<std::string>& args) const {
  std::vector<std::string> argv = {ZOVA_PRINTER_APP};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv, {"TMPDIR=" + dir_.string(), "SNAP_COMMON=" + dir_.string(),
                           "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent",
                           kLsanOptions.first + "=" + kLsanOptions.second});
}

std::pair<int, std::string> PrivateApp::Get(const std::string& path, const std::string& password,
                                            const std::string& form) const {
  http_t* http =
      httpConnect2("127.0.0.1", port_, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 30000, nullptr);
  if (http == nullptr) return {0, ""};
  httpClearFields(http);
  httpSetField(http, HTTP_FIELD_HOST, ("127.0.0.1:" + std::to_string(port_)).c_str());
  if (!password.empty()) {
    const std::string credentials = "admin:" + password;
    char encoded[256];
    httpEncode64_2(encoded, sizeof encoded, credentials.c_str(),
                   static_cast<int>(credentials.size()));
    httpSetField(http, HTTP_FIELD_AUTHORIZATION, (std::string("Basic ") + encoded).c_str());
  }
  http_status_t status = HTTP_STATUS_ERROR;
  bool sent = false;
  if (form.empty()) {
    sent = httpGet(http, path.c_str()) == 0;
  } else {
    httpSetField(http, HTTP_FIELD_CONTENT_TYPE, "application/x-www-form-urlencoded");
    httpSetLength(http, form.size());
    sent = httpPost(http, path.c_str()) == 0 &&
           httpWrite2(http, form.data(), form.size()) == static_cast<ssize_t>(form.size());
  }
  if (sent) {
    while ((status = httpUpdate(http)) == HTTP_STATUS_CONTINUE) {
    }
  }
  std::string body;
  char buffer[8192];
  for (ssize_t n; (n = httpRead2(http, buffer, sizeof buffer)) > 0;) body.append(buffer, n);
  httpClose(http);
  return {status == HTTP_STATUS_ERROR ? 0 : static_cast<int>(status), body};
}

int PrivateApp::PostForm(const std::string& path, const std::string& password,
                         const std::string& fields) const {
  const std::string page = Get(path, password).second;
  const std::string mark = "name=\"session\" value=\"";
  const size_t at = page.find(mark);
  if (at == std::string::npos) return 0;
  const size_t start = at + mark.size();
  return Get(path, password,
             "session=" + page.substr(start, page.find('"', start) - start) + "&" + fields)
      .first;
}

bool PrivateApp::SetAdminPassword(const std::string& password) const {
  const fs::path input = dir_ / "password.txt";
  std::ofstream(input) << password << "\n";
  ProcessOptions options;
  options.args = {ZOVA_PRINTER_APP, "admin-password", "-o",
                  "state-directory=" + (dir_ / "state").string()};
  options.stdinFile = input.string();
  options.env = {kLsanOptions};
  const ProcessResult set = RunProcess(options);
  fs::remove(input);
  return set.status == 0;
}

bool PrivateApp::AddPrinter(const std::string& printer, const std::string& driver,
                            std::string* error, const std::string& device) const {
  // PAPPL takes a file device only when it can write the file already.
  if (device.empty()) std::ofstream(Output(printer)).flush();
  const CommandResult added =
      Command({"add", "-d", printer, "-m", driver, "-v",
               device.empty() ? "file://" + Output(printer).string() : device});
  if (added.status != 0) *error = "zova-printer-app add: " + added.output;
  return added.status == 0;
}

std::unique_ptr<ipp_t, IppDeleter> PrivateApp::Request(ipp_t* request, const std::string& resource,
                                                       const std::string& file, bool owner) const {
  // The owner's way in is the local socket; anyone else comes over TCP.
  std::unique_ptr<http_t, HttpCloser> http(
      owner ? httpConnect2(LocalSocket().c_str(), port_, nullptr, AF_LOCAL, HTTP_ENCRYPTION_NEVER,
                           1, 10000, nullptr)
            : httpConnect2("127.0.0.1", port_, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1, 10000,
                           nullptr));
  if (!http) {
    ippDelete(request);
    return nullptr;
  }
  return std::unique_ptr<ipp_t, IppDeleter>(cupsDoFileRequest(
      http.get(), request, resource.c_str(), file.empty() ? nullptr : file.c_str()));
}

IppJob PrivateApp::Print(const std::string& printer, const std::string& file,
                         const std::string& format,
                         const std::vector<std::string>& attributes) const {
  ipp_t* request = NewRequest(IPP_OP_PRINT_JOB, PrinterUri(printer));
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
               format.c_str());
  for (const std::string& a : attributes) AddAttribute(request, IPP_TAG_JOB, a);
  const auto response = Request(request, "/ipp/print/" + printer, file);
  IppJob job;
  if (!response) {
    job.error = cupsLastErrorString();
    return job;
  }
  if (ippGetStatusCode(response.get()) > IPP_STATUS_OK_CONFLICTING) {
    job.error = ippErrorString(ippGetStatusCode(response.get()));
    return job;
  }
  if (ipp_attribute_t* id = ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER)) {
    job.id = ippGetInteger(id, 0);
  }
  return job;
}

bool PrivateApp::SetPrinterAttributes(const std::string& printer,
                                      const std::vector<std::string>& attributes,
                                      std::string* error, bool owner) const {
  ipp_t* request = NewRequest(IPP_OP_SET_PRINTER_ATTRIBUTES, PrinterUri(printer));
  for (const std::string& a : attributes) AddAttribute(request, IPP_TAG_PRINTER, a);
  const auto response = Request(request, "/ipp/print/" + printer, "", owner);
  if (!response || ippGetStatusCode(response.get()) != IPP_STATUS_OK) {
    *error = cupsLastErrorString();
    return false;
  }
  return true;
}

bool PrivateApp::CancelJob(const std::string& printer, int job) const {
  return JobOperation(IPP_OP_CANCEL_JOB, printer, job);
}

ipp_status_t PrivateApp::Operation(ipp_op_t op, const std::string& printer, bool owner) const {
  ipp_t* request = NewRequest(op, printer.empty() ? SystemUri() : PrinterUri(printer));
  const auto response =
      Request(request, printer.empty() ? "/ipp/system" : "/ipp/print/" + printer, "", owner);
  // A refusal comes as HTTP 401 or 403, which libcups reports as the status.
  return response ? ippGetStatusCode(response.get()) : cupsLastError();
}

bool PrivateApp::JobOperation(ipp_op_t op, const std::string& printer, int job) const {
  ipp_t* request = NewRequest(op, PrinterUri(printer));
  ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job);
  const auto response = Request(request, "/ipp/print/" + printer);
  return response && ippGetStatusCode(response.get()) == IPP_STATUS_OK;
}

int PrivateApp::JobState(const std::string& printer, int job) const {
  const std::vector<std::string> state = JobAttributes(printer, job)["job-state"];
  return state.empty() ? 0 : atoi(state[0].c_str());
}

int PrivateApp::WaitForJobEnd(const std::string& printer, int job,
                              std::chrono::seconds timeout) const {
  int state = 0;
  for (auto waited = 0ms; waited < timeout; waited += 100ms) {
    state = JobState(printer, job);
    if (state >= kJobCanceled) return state;
    std::this_thread::sleep_for(100ms);
  }
  return state;
}

namespace {

std::map<std::string, std::vector<std::string>> AttributeMap(const ipp_t* response) {
  std::map<std::string, std::vector<std::string>> attributes;
  for (ipp_attribute_t* a = ippFirstAttribute(const_cast<ipp_t*>(response)); a != nullptr;
       a = ippNextAttribute(const_cast<ipp_t*>(response))) {
    if (ippGetName(a) == nullptr) continue;
    std::vector<std::string>& values = attributes[ippGetName(a)];
    for (int i = 0; i < ippGetCount(a); ++i) {
      if (const std::string value = IppValue(a, i); !value.empty()) values.push_back(value);
    }
  }
  return attributes;
}

}  // namespace

std::map<std::string, std::vector<std::string>> PrivateApp::JobAttributes(
    const std::string& printer, int job) const {
  ipp_t* request = NewRequest(IPP_OP_GET_JOB_ATTRIBUTES, PrinterUri(printer));
  ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job);
  const auto response = Request(request, "/ipp/print/" + printer);
  return response ? AttributeMap(response.get())
                  : std::map<std::string, std::vector<std::string>>{};
}

std::map<std::string, std::vector<std::string>> PrivateApp::PrinterAttributes(
    const std::string& printer) const {
  const auto response = Request(NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, PrinterUri(printer)),
                                "/ipp/print/" + printer);
  return response ? AttributeMap(response.get())
                  : std::map<std::string, std::vector<std::string>>{};
}

}  // namespace zova::testing
