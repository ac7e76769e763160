// One server per state directory, and none that takes another's local
// socket: a second server would wipe the first one's page spool, empty its
// journal, load and print its jobs and write its state over the first's.
#pragma once

#include <string>

namespace zova::app {

// Locks `state_dir` for the life of the process (an flock on
// STATE/zova-printer-app.lock, which holds the server's process ID), before
// anything in it is touched. False, with an "ERROR: ..." line on standard
// error naming the directory and the running server, when another server
// holds it or the lock cannot be had.
bool LockStateDirectory(const std::string& state_dir);

// False, with an "ERROR: ..." line, when a live server answers on the local
// socket `path`: PAPPL would unlink it and bind its own.
bool LocalSocketFree(const std::string& path);

// Whether a server answers on the local socket `path`; its process ID in
// `pid` when the kernel tells it.
bool ServerAnswers(const std::string& path, int* pid = nullptr);

}  // namespace zova::app
