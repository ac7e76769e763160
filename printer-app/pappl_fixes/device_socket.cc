// PAPPL 1.3.1 offers no way to a socket:// device's connection, which the
// job needs to write in small pieces (a cancel is never stuck behind a full
// connection) and to see a broken one (PAPPL drops its flush's errors). It
// keeps the descriptor as the first member of the device's data
// (device-network.c); it is taken only when it is what it must be, a
// connected TCP socket. 1.3.1 only (refused at configure time otherwise).
// Tested by AppDeviceTest.BrokenConnectionAbortsItsJobAndTheNextJobsPrintOnANewOne
// and AppDeviceTest.CancelEndsAJobThePrinterTakesNoMoreOf.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstring>

#include "pappl_fixes/pappl_fixes.h"

namespace pappl_fixes {

int DeviceSocket(pappl_device_t* device) {
  const void* data = papplDeviceGetData(device);
  if (data == nullptr) return -1;
  int fd;
  memcpy(&fd, data, sizeof fd);
  struct stat info;
  sockaddr_storage peer;
  socklen_t length = sizeof peer;
  if (fd < 0 || fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode) ||
      getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
      (peer.ss_family != AF_INET && peer.ss_family != AF_INET6)) {
    return -1;
  }
  return fd;
}

}  // namespace pappl_fixes
