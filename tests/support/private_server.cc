#include "support/private_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include "support/poll.h"

namespace zova::testing {

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port = ntohs(addr.sin_port);
  }
  close(fd);
  return port;
}

PrivateServer::Started PrivateServer::Launch(ProcessOptions options,
                                             const std::filesystem::path& output,
                                             const std::function<bool()>& answers,
                                             std::chrono::seconds timeout) {
  options.stdoutFile = output.string();
  options.stderrToStdout = true;
  process_ = std::make_unique<Process>(options);
  bool exited = false;
  const bool up = PollUntil(
      [&] {
        exited = !process_->Running();
        return exited || answers();
      },
      timeout);
  return exited ? kExited : up ? kAnswering : kSilent;
}

void PrivateServer::Stop(std::chrono::milliseconds grace) {
  if (process_) process_->Stop(grace);
  process_.reset();
}

void PrivateServer::Kill(int sig) {
  if (!process_) return;
  process_->Signal(sig);
  process_->Wait();
  process_.reset();
}

}  // namespace zova::testing
