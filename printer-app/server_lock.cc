#include "server_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app_system.h"

namespace zova::app {
namespace {

// Where the service keeps its state (its unit's StateDirectory).
constexpr const char* kServiceStateDirectory = "/var/lib/zova-printer-app";

std::string Holder(int fd) {
  char text[32] = {};
  const ssize_t n = pread(fd, text, sizeof text - 1, 0);
  const long pid = n > 0 ? strtol(text, nullptr, 10) : 0;
  return pid > 0 ? "process " + std::to_string(pid) : "a process that did not say which";
}

}  // namespace

bool LockStateDirectory(const std::string& state_dir) {
  const std::string path = state_dir + "/" + kAppName + ".lock";
  // Kept open, and so locked, until the process ends; not inherited by
  // Ghostscript.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    fprintf(stderr, "ERROR: Unable to open %s: %s\n", path.c_str(), strerror(errno));
    return false;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error != EWOULDBLOCK) {
      fprintf(stderr, "ERROR: Unable to lock %s: %s\n", path.c_str(), strerror(error));
    } else {
      const bool service = state_dir == kServiceStateDirectory;
      fprintf(stderr,
              "ERROR: The state directory %s is in use by another %s server (%s)%s; this one "
              "stops and changes nothing. Stop that server first, or give this one a "
              "directory of its own (-o state-directory=DIR).\n",
              state_dir.c_str(), kAppName, Holder(fd).c_str(),
              service ? ": it is the zova-printer-app service's directory (systemctl stop "
                        "zova-printer-app)"
                      : "");
    }
    close(fd);
    return false;
  }
  const std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(fd, 0) != 0 ||
      pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
    fprintf(stderr, "ERROR: Unable to write %s: %s\n", path.c_str(), strerror(errno));
    close(fd);
    return false;
  }
  return true;
}

bool ServerAnswers(const std::string& path, int* pid) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  const bool answers = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ucred peer{};
  socklen_t length = sizeof peer;
  if (answers && pid != nullptr && getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0) {
    *pid = peer.pid;
  }
  close(fd);
  return answers;
}

bool LocalSocketFree(const std::string& path) {
  int pid = 0;
  if (!ServerAnswers(path, &pid)) return true;
  fprintf(stderr,
          "ERROR: Another %s server (process %d) answers on the local socket %s; this one "
          "stops and changes nothing. Stop that server first.\n",
          kAppName, pid, path.c_str());
  return false;
}

}  // namespace zova::app
