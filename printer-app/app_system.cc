#include "app_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "abort_reasons.h"
#include "access.h"
#include "admin_password.h"
#include "callback_guard.h"
#include "device_change.h"
#include "device_id.h"
#include "drivers.h"
#include "ghostscript_filter.h"
#include "image_documents.h"
#include "job_history.h"
#include "job_journal.h"
#include "job_order.h"
#include "media_offsets.h"
#include "pappl_fixes/pappl_fixes.h"
#include "server_lock.h"
#include "state_check.h"
#include "submission_limits.h"
#include "test_device.h"
#include "text_filter.h"
#include "text_options.h"
#include "vendor_options.h"

namespace zova::app {
namespace {

namespace fs = std::filesystem;

std::string DefaultStateDirectory() {
  if (getuid() == 0) return std::string("/var/lib/") + kAppName;
  if (const char* xdg = getenv("XDG_STATE_HOME"); xdg != nullptr && *xdg == '/') {
    return std::string(xdg) + "/" + kAppName;
  }
  const char* home = getenv("HOME");
  return std::string(home != nullptr ? home : "/tmp") + "/.local/state/" + kAppName;
}

bool MakeDirectory(const std::string& path) {
  std::error_code ec;
  fs::create_directories(path, ec);
  if (ec) {
    fprintf(stderr, "ERROR: Unable to create directory %s: %s\n", path.c_str(),
            ec.message().c_str());
    return false;
  }
  return true;
}

pappl_loglevel_t LogLevel(const char* value) {
  if (value == nullptr) return PAPPL_LOGLEVEL_WARN;
  static constexpr struct {
    const char* name;
    pappl_loglevel_t level;
  } kLevels[] = {{"fatal", PAPPL_LOGLEVEL_FATAL},
                 {"error", PAPPL_LOGLEVEL_ERROR},
                 {"warn", PAPPL_LOGLEVEL_WARN},
                 {"info", PAPPL_LOGLEVEL_INFO},
                 {"debug", PAPPL_LOGLEVEL_DEBUG}};
  for (const auto& l : kLevels) {
    if (strcmp(value, l.name) == 0) return l.level;
  }
  return PAPPL_LOGLEVEL_WARN;
}

// PAPPL writes the state file in place; a crash in the middle would lose
// it. It is written whole under another name, private to the application
// (it holds users' job names), then put in place.
bool SaveState(pappl_system_t* system, void* path) {
  const std::string state = static_cast<const char*>(path);
  const std::string temporary = state + ".new";
  unlink(temporary.c_str());
  const int created = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (created < 0) return false;
  close(created);
  bool saved = papplSystemSaveState(system, temporary.c_str());
  const int fd = saved ? open(temporary.c_str(), O_RDONLY | O_CLOEXEC) : -1;
  saved = fd >= 0 && fsync(fd) == 0;
  if (fd >= 0) close(fd);
  if (saved && rename(temporary.c_str(), state.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

ServerSettings server_settings;

// PAPPL saves its state at most once per turn of its main loop, and not for
// every change of a job: a job whose document has just come in may be
// missing from the file for a while. The jobs' changes are saved once a
// second.
std::atomic<bool> jobs_changed{false};

void OnEvent(pappl_system_t* system, pappl_printer_t*, pappl_job_t* job, pappl_event_t event,
             void*) {
  if ((event & PAPPL_EVENT_JOB_ALL) != 0) jobs_changed = true;
  GuardedCall(system, "Explaining an aborted job", false, [&] {
    ExplainAbort(system, job, event);
    return true;
  });
}

volatile sig_atomic_t stopping = 0;

// Jobs in hand are kept at a stop rather than waited for and aborted
// (pappl_fixes/server_stop.cc).
bool SaveChangedJobs(pappl_system_t* system, void* path) {
  if (stopping) pappl_fixes::EndKeepingJobs(system, [&] { SaveState(system, path); });
  if (jobs_changed.exchange(false)) SaveState(system, path);
  return true;  // keep the timer
}
struct sigaction pappl_sigterm;

// Notes the stop, then lets PAPPL's own handler stop the server.
void OnSigterm(int sig) {
  stopping = 1;
  if (pappl_sigterm.sa_handler != SIG_DFL && pappl_sigterm.sa_handler != SIG_IGN) {
    pappl_sigterm.sa_handler(sig);
  }
}

// Runs once, when the server runs: after PAPPL has installed its handler.
bool WatchSigterm(pappl_system_t* /*system*/, void* /*data*/) {
  struct sigaction action = {};
  action.sa_handler = OnSigterm;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, &pappl_sigterm);
  return false;
}

// Once the server runs, its local socket is there to close
// (pappl_fixes/local_socket.cc).
bool CloseLocalSocket(pappl_system_t* /*system*/, void* /*data*/) {
  pappl_fixes::MakeLocalSocketPrivate(LocalSocket(getuid()));
  return false;  // once
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "127.0.0.1" || host == "::1" || host == "[::1]";
}

// A directory of the application's own, made afresh, 0700.
bool MakePrivateDirectory(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  if (!MakeDirectory(path)) return false;
  chmod(path.c_str(), 0700);
  return true;
}

}  // namespace

const ServerSettings& Server() { return server_settings; }

std::string StateDirectory(int num_options, cups_option_t* options) {
  const char* given = cupsGetOption("state-directory", num_options, options);
  return given != nullptr ? given : DefaultStateDirectory();
}

// Where PAPPL puts it: the temporary directory for a user; for root /run,
// or $SNAP_COMMON where that is set.
std::string LocalSocket(uid_t uid) {
  if (uid != 0) {
    return std::string(papplGetTempDir()) + "/" + kAppName + std::to_string(uid) + ".sock";
  }
  const char* snap = getenv("SNAP_COMMON");
  return std::string(snap != nullptr ? snap : "/run") + "/" + kAppName + ".sock";
}

bool Stopping() { return stopping != 0; }

pappl_system_t* CreateSystem(int num_options, cups_option_t* options, void* /*data*/) {
  AddTestDeviceScheme();
  const auto option = [&](const char* name) { return cupsGetOption(name, num_options, options); };
  // Job files, state and journal are the application's alone.
  umask(077);

  const std::string state_dir = StateDirectory(num_options, options);
  const char* spool_option = option("spool-directory");
  const std::string spool_dir = spool_option != nullptr ? spool_option : state_dir + "/spool";
  const char* log_option = option("log-file");
  const std::string log_file =
      log_option != nullptr ? log_option : state_dir + "/" + kAppName + ".log";
  // Nothing of another server's is touched: its spool, journal, state and
  // local socket. A refused server leaves no directory behind either.
  std::error_code ec;
  const bool fresh = !fs::exists(state_dir, ec);
  if ((fresh && !LocalSocketFree(LocalSocket(getuid()))) || !MakeDirectory(state_dir) ||
      !LockStateDirectory(state_dir) || !LocalSocketFree(LocalSocket(getuid())) ||
      !MakeDirectory(spool_dir)) {
    return nullptr;
  }
  // Job files hold users' documents.
  chmod(spool_dir.c_str(), 0700);
  // Pages and Ghostscript's scratch of a run that ended abruptly go.
  server_settings.pageSpool = spool_dir + "/pages";
  server_settings.scratch = spool_dir + "/scratch";
  if (!MakePrivateDirectory(server_settings.pageSpool) ||
      !MakePrivateDirectory(server_settings.scratch)) {
    return nullptr;
  }
  if (const char* value = option("ghostscript-page-seconds"); value != nullptr) {
    char* end = nullptr;
    const long seconds = strtol(value, &end, 10);
    if (*end != '\0' || seconds < 1 || seconds > 86400) {
      fprintf(stderr, "ERROR: Bad ghostscript-page-seconds value \"%s\" (1 to 86400)\n", value);
      return nullptr;
    }
    server_settings.ghostscriptPageTime = std::chrono::seconds(seconds);
  }
  if (!ParseGhostscriptLimits(num_options, options, server_settings)) return nullptr;

  int port = 0;
  if (const char* value = option("server-port"); value != nullptr) {
    char* end = nullptr;
    errno = 0;
    const long parsed = strtol(value, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < 0 || parsed > 65535) {
      fprintf(stderr, "ERROR: Bad server-port value \"%s\"\n", value);
      return nullptr;
    }
    port = static_cast<int>(parsed);
  }

  pappl_system_t* system =
      papplSystemCreate(PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE, kAppName, port,
                        "_print,_universal", spool_dir.c_str(), log_file.c_str(),
                        LogLevel(option("log-level")), nullptr, false);
  if (system == nullptr) {
    fprintf(stderr, "ERROR: Unable to create the printer application\n");
    return nullptr;
  }
  const char* listen = option("listen-hostname");
  const std::string host = listen != nullptr ? listen : "localhost";
  if (!IsLoopback(host)) {
    papplLog(system, PAPPL_LOGLEVEL_WARN,
             "Listening on %s beyond this machine: clients there must use TLS (ipps://), to "
             "print too; changes need the administrator's password (zova-printer-app "
             "admin-password).",
             host.c_str());
  }
  if (!papplSystemAddListeners(system, host.c_str())) {
    fprintf(stderr, "ERROR: Unable to listen on %s, port %d\n",
            listen != nullptr ? listen : "localhost", port);
    papplSystemDelete(system);
    return nullptr;
  }

  const std::span<pappl_pr_driver_t> drivers = Drivers();
  papplSystemSetPrinterDrivers(system, static_cast<int>(drivers.size()), drivers.data(),
                               AutoAddDriver, GuardPrinterHome, DriverCallback, nullptr);
  InstallAccessPolicy(system, PasswordFile(state_dir));
  ServeStateDirectory(system, state_dir);
  InstallDeviceChange(system);
  papplSystemAddTimerCallback(system, 0, 0, GuardedTimer<CloseLocalSocket, false>, nullptr);
  // The web pages' labels for the driver's options, in each language PAPPL
  // has. PAPPL keeps the data, not a copy.
  static const std::string labels = VendorLabels() + TextLabels();
  for (const char* language : {"de", "en", "es", "fr", "it", "ja", "nb-NO", "pl", "tr"}) {
    const std::string path = std::string("/zova-labels-") + language + ".strings";
    pappl_fixes::AddStrings(system, path.c_str(), language, labels.c_str());
  }
  AddGhostscriptFilters(system);
  AddImageFilters(system);
  AddTextFilter(system);
  if (!AddJobLimits(system, num_options, options, spool_dir)) {
    papplSystemDelete(system);
    return nullptr;
  }
  StartJobOrderTimer(system);
  if (!StartJobHistory(system, num_options, options)) {
    papplSystemDelete(system);
    return nullptr;
  }
  papplSystemAddTimerCallback(system, 0, 0, GuardedTimer<WatchSigterm, false>, nullptr);

  // The state file lives where we were told, also for root, whose default
  // PAPPL would otherwise put under /var/lib.
  static std::string state_file;
  state_file = state_dir + "/" + kAppName + ".state";
  // A server that went down with jobs on their way starts where they were.
  const std::string journal = state_dir + "/" + kAppName + ".journal";
  if (!KeepAsideUnreadableState(system, state_file)) {
    papplSystemDelete(system);
    return nullptr;
  }
  const Recovery recovery = RecoverState(state_file, journal);
  if (!JobJournal::Open(journal)) {
    papplLog(system, PAPPL_LOGLEVEL_ERROR,
             "Unable to open %s: %s. After a crash, the job that was printing would print "
             "again from its start.",
             journal.c_str(), strerror(errno));
  }
  papplSystemLoadState(system, state_file.c_str());
  KeepReadyOffsetsInRange(system);
  papplSystemSetSaveCallback(system, GuardedTimer<SaveState, false>, state_file.data());
  papplSystemSetEventCallback(system, OnEvent, nullptr);
  papplSystemAddTimerCallback(system, 0, 1, GuardedTimer<SaveChangedJobs>, state_file.data());
  ResumeAfterRestart(system, recovery);
  return system;
}

}  // namespace zova::app
