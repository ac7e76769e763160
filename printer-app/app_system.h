// The PAPPL system of the printer application: where it keeps its state,
// spool and log, where it listens, and what it prints.
#pragma once

#include <pappl/pappl.h>
#include <sys/types.h>

#include <chrono>
#include <string>

namespace zova::app {

inline constexpr const char* kAppName = "zova-printer-app";

// papplMainloop's system callback. Server options (-o NAME=VALUE):
//   state-directory  the state file, and the spool and log unless given
//                    (default $XDG_STATE_HOME/zova-printer-app, or
//                    ~/.local/state/zova-printer-app; /var/lib/... for root)
//   spool-directory  the job files (default STATE/spool)
//   log-file         the log, "-" for standard error (default STATE/zova-printer-app.log)
//   log-level        fatal, error, warn (default), info or debug
//   listen-hostname  the address to listen on (default localhost)
//   server-port      the IPP port (default 8000 + uid % 1000)
//   ghostscript-page-seconds
//                    Ghostscript's time for one page (default 120)
//   ghostscript-job-seconds
//                    Ghostscript's time for a whole document (default 3600)
//   ghostscript-memory-mb
//                    the memory Ghostscript may take (default 1024)
pappl_system_t* CreateSystem(int num_options, cups_option_t* options, void* data);

// The state directory the options name, or the default.
std::string StateDirectory(int num_options, cups_option_t* options);

// The local socket of a server of this user's, or of root's.
std::string LocalSocket(uid_t uid);

// What the server's jobs work with, set when the system is made.
struct ServerSettings {
  // The pages' spool files, in a directory of the application's own (0700):
  // no other program guesses their names or reads them, Ghostscript
  // included.
  std::string pageSpool;
  // Where each Ghostscript run gets a private temporary directory.
  std::string scratch;
  std::chrono::seconds ghostscriptPageTime{120};
  // Ghostscript's time for all the pages of one run, however long the
  // printer takes over them.
  std::chrono::seconds ghostscriptJobTime{3600};
  // The address space Ghostscript may map, in MiB.
  unsigned ghostscriptMemoryMb = 1024;
};
const ServerSettings& Server();

// Whether the server has been told to stop (SIGTERM): no job starts to
// print any more.
bool Stopping();

}  // namespace zova::app
