#include "integration/private_cupsd.h"

#include <cups/cups.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace zova::testing {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

bool WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  return static_cast<bool>(out);
}

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};

// The private server binary directory: links to the machine's programs, and
// in filter/ links to its filters plus the driver's programs.
bool MirrorServerBin(const CupsdConfig& config, const fs::path& dest, std::string* error) {
  std::error_code ec;
  fs::create_directories(dest / "filter", ec);
  for (const fs::directory_entry& entry : fs::directory_iterator(config.serverBin, ec)) {
    const fs::path name = entry.path().filename();
    if (name == "filter") {
      for (const fs::directory_entry& f : fs::directory_iterator(entry.path(), ec)) {
        fs::create_symlink(f.path(), dest / "filter" / f.path().filename(), ec);
      }
    } else {
      fs::create_symlink(entry.path(), dest / name, ec);
    }
  }
  for (const auto& [name, file] : config.filters) {
    fs::remove(dest / "filter" / name, ec);
    fs::create_symlink(fs::absolute(file), dest / "filter" / name, ec);
    if (ec) {
      *error = "cannot link " + file + " into the private filter directory: " + ec.message();
      return false;
    }
  }
  if (!fs::exists(dest / "filter" / "gstoraster")) {
    *error = "no CUPS filters in " + config.serverBin + " (run scripts/install-deps.sh)";
    return false;
  }
  return true;
}

}  // namespace

std::string IppValue(ipp_attribute_t* attribute, int i) {
  switch (ippGetValueTag(attribute)) {
    case IPP_TAG_RESOLUTION: {
      ipp_res_t units;
      int y = 0;
      const int x = ippGetResolution(attribute, i, &y, &units);
      return std::to_string(x) + "x" + std::to_string(y) + "dpi";
    }
    case IPP_TAG_INTEGER:
    case IPP_TAG_ENUM:
      return std::to_string(ippGetInteger(attribute, i));
    default: {
      const char* text = ippGetString(attribute, i, nullptr);
      return text != nullptr ? text : "";
    }
  }
}

CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::vector<std::string>& env) {
  ProcessOptions options;
  options.args = argv;
  for (const std::string& entry : env) {
    const size_t eq = entry.find('=');
    options.env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  options.stderrToStdout = true;
  const ProcessResult run = RunProcess(options);
  return {run.status, run.out + run.err};
}

CommandResult ChainToRaster(const std::string& ppd, const std::string& file,
                            const std::vector<std::string>& options, const std::string& raster) {
  std::vector<std::string> argv = {"sh",
                                   "-c",
                                   "exec \"$0\" \"$@\" >\"$ZOVA_RASTER_OUT\"",
                                   ZOVA_CUPSFILTER,
                                   "-p",
                                   ppd,
                                   "-m",
                                   "application/vnd.cups-raster"};
  for (const std::string& option : options) {
    argv.push_back("-o");
    argv.push_back(option);
  }
  argv.push_back(file);
  return RunCommand(argv, {"ZOVA_RASTER_OUT=" + raster});
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::unique_ptr<PrivateCupsd> PrivateCupsd::Start(const CupsdConfig& config, std::string* error) {
  const int first_job = 10000 + static_cast<int>(getpid() % 80000);
  std::unique_ptr<PrivateCupsd> cupsd(new PrivateCupsd(first_job));
  // Filters run as the scheduler's user (lp when started by root) and must
  // reach the links in here.
  chmod(cupsd->dir_.c_str(), 0755);
  if (!cupsd->Launch(config, error)) return nullptr;
  return cupsd;
}

bool PrivateCupsd::Launch(const CupsdConfig& config, std::string* error) {
  for (const char* sub : {"spool", "tmp", "cache", "state", "log", "out"}) {
    fs::create_directories(dir_ / sub);
  }
  if (!MirrorServerBin(config, dir_ / "serverbin", error)) return false;

  // Root's scheduler runs filters as lp, which needs its own temp directory.
  if (geteuid() == 0) {
    const group* lp = getgrnam("lp");
    if (lp != nullptr && chown((dir_ / "tmp").c_str(), 0, lp->gr_gid) != 0) {
      *error = std::string("chown tmp: ") + strerror(errno);
      return false;
    }
  }
  chmod((dir_ / "tmp").c_str(), geteuid() == 0 ? 01770 : 0700);

  const group* own = getgrgid(getegid());
  const std::string d = dir_.string();
  const bool written =
      WriteFile(dir_ / "cups-files.conf",
                "ServerRoot " + d + "\nServerBin " + d + "/serverbin\nRequestRoot " + d +
                    "/spool\nTempDir " + d + "/tmp\nCacheDir " + d + "/cache\nStateDir " + d +
                    "/state\nErrorLog " + d + "/log/error_log\nAccessLog " + d +
                    "/log/access_log\nPageLog " + d + "/log/page_log\nFileDevice Yes\n" +
                    "SystemGroup " + (own != nullptr ? own->gr_name : "root") + "\n") &&
      WriteFile(dir_ / "cupsd.conf", "Listen " + socket() +
                                         "\nLogLevel debug\nMaxLogSize 0\nBrowsing No\n"
                                         "WebInterface No\n<Location />\n  Order allow,deny\n"
                                         "  Allow all\n</Location>\n") &&
      WriteFile(dir_ / "cache" / "job.cache",
                "# Job cache file for CUPS\nNextJobId " + std::to_string(firstJobId_) + "\n");
  if (!written) {
    *error = "cannot write the configuration in " + d;
    return false;
  }

  ProcessOptions options;
  options.args = {config.cupsd, "-f", "-c", d + "/cupsd.conf", "-s", d + "/cups-files.conf"};
  // As on a machine set up in English: under the C locale CUPS 2.4.2 names
  // the language of the PPDs it makes for driverless queues "C", which its
  // own cupstestppd rejects.
  options.env = {{"LANG", "en"}};
  const auto answers = [this] {
    return Client({"lpstat", "-r"}).output.find("is running") != std::string::npos;
  };
  switch (server_.Launch(options, dir_ / "log" / "cupsd.out", answers, 15s)) {
    case PrivateServer::kAnswering:
      return true;
    case PrivateServer::kExited:
      *error = "cupsd exited at start (run scripts/install-deps.sh if it is missing):\n" +
               ReadFile(dir_ / "log" / "cupsd.out") + ReadFile(dir_ / "log" / "error_log");
      return false;
    case PrivateServer::kSilent:
      break;
  }
  *error = "cupsd did not answer on " + socket();
  return false;
}

void PrivateCupsd::Stop() { server_.Stop(10s); }

PrivateCupsd::~PrivateCupsd() { Stop(); }

CommandResult PrivateCupsd::Client(const std::vector<std::string>& argv) const {
  return RunCommand(argv, {"CUPS_SERVER=" + socket()});
}

bool PrivateCupsd::AddQueue(const std::string& name, const std::string& ppd, const fs::path& output,
                            std::string* error) const {
  const CommandResult added =
      Client({"lpadmin", "-p", name, "-E", "-v", "file://" + output.string(), "-P", ppd});
  if (added.status != 0) {
    *error = "lpadmin: " + added.output;
    return false;
  }
  return true;
}

int PrivateCupsd::Submit(const std::string& queue, const std::vector<std::string>& options,
                         const std::string& file, std::string* error) const {
  std::vector<std::string> argv = {"lp", "-d", queue};
  for (const std::string& option : options) {
    argv.push_back("-o");
    argv.push_back(option);
  }
  argv.push_back(file);
  const CommandResult lp = Client(argv);
  // "request id is zova-10042 (1 file(s))"
  const size_t at = lp.output.find("request id is " + queue + "-");
  if (lp.status != 0 || at == std::string::npos) {
    *error = "lp: " + lp.output;
    return 0;
  }
  return atoi(lp.output.c_str() + at + 15 + queue.size());
}

std::unique_ptr<ipp_t, IppDeleter> PrivateCupsd::Request(ipp_t* request) const {
  std::unique_ptr<http_t, HttpCloser> http(httpConnect2(socket().c_str(), 0, nullptr, AF_UNSPEC,
                                                        HTTP_ENCRYPTION_NEVER, 1, 10000, nullptr));
  if (!http) {
    ippDelete(request);
    return nullptr;
  }
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  return std::unique_ptr<ipp_t, IppDeleter>(cupsDoRequest(http.get(), request, "/"));
}

std::map<std::string, std::vector<std::string>> PrivateCupsd::PrinterAttributes(
    const std::string& queue) const {
  std::map<std::string, std::vector<std::string>> attributes;
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  const std::string uri = "ipp://localhost/printers/" + queue;
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
  const auto response = Request(request);
  if (!response) return attributes;
  for (ipp_attribute_t* a = ippFirstAttribute(response.get()); a != nullptr;
       a = ippNextAttribute(response.get())) {
    if (ippGetName(a) == nullptr) continue;
    std::vector<std::string>& values = attributes[ippGetName(a)];
    for (int i = 0; i < ippGetCount(a); ++i) {
      if (const std::string value = IppValue(a, i); !value.empty()) values.push_back(value);
    }
  }
  return attributes;
}

JobStatus PrivateCupsd::Job(int id) const {
  JobStatus status;
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  const std::string uri = "ipp://localhost/jobs/" + std::to_string(id);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
  static const char* const kWanted[] = {"job-state", "job-media-sheets-completed",
                                        "job-impressions-completed", "job-printer-state-message"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr,
                kWanted);
  const auto response = Request(request);
  if (!response) return status;
  if (ipp_attribute_t* a = ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM)) {
    status.state = ippGetInteger(a, 0);
  }
  if (ipp_attribute_t* a =
          ippFindAttribute(response.get(), "job-media-sheets-completed", IPP_TAG_INTEGER)) {
    status.mediaSheetsCompleted = ippGetInteger(a, 0);
  }
  if (ipp_attribute_t* a =
          ippFindAttribute(response.get(), "job-impressions-completed", IPP_TAG_INTEGER)) {
    status.impressionsCompleted = ippGetInteger(a, 0);
  }
  if (ipp_attribute_t* a =
          ippFindAttribute(response.get(), "job-printer-state-message", IPP_TAG_TEXT)) {
    status.stateMessage = ippGetString(a, 0, nullptr);
  }
  return status;
}

JobStatus PrivateCupsd::WaitForJobEnd(int id, std::chrono::seconds timeout) const {
  JobStatus status;
  for (auto waited = 0ms; waited < timeout; waited += 200ms) {
    status = Job(id);
    if (status.state >= kJobCanceled) return status;
    std::this_thread::sleep_for(200ms);
  }
  return status;
}

std::vector<std::string> PrivateCupsd::JobLog(int id) const {
  std::vector<std::string> lines;
  std::istringstream log(ErrorLog());
  const std::string tag = "[Job " + std::to_string(id) + "]";
  for (std::string line; std::getline(log, line);) {
    if (line.find(tag) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

}  // namespace zova::testing
