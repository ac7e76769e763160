#include "app/socket_printer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace zova::testing {
namespace {

int BindLoopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

SocketPrinter::SocketPrinter() {
  // A port the kernel picks, given up again until Listen.
  const int fd = BindLoopback(0);
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  close(fd);
}

SocketPrinter::~SocketPrinter() { Refuse(); }

void SocketPrinter::Listen(size_t cut_first_after) { Start(cut_first_after, false); }

void SocketPrinter::Stall() { Start(0, true); }

void SocketPrinter::Start(size_t cut_first_after, bool stall) {
  Refuse();
  const int listener = BindLoopback(port_);
  // A small receive buffer, as a printer's: what its TCP stack acknowledges
  // is little more than what it has read.
  const int buffer = 4096;
  if (listener >= 0) setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
  if (listener < 0 || listen(listener, 4) != 0) return;
  stop_ = false;
  server_ = std::thread(
      [this, listener, cut_first_after, stall] { Serve(listener, cut_first_after, stall); });
}

void SocketPrinter::Refuse() {
  stop_ = true;
  if (server_.joinable()) server_.join();
}

bool SocketPrinter::SenderBlocked() const {
  // /proc/net/tcp: "sl local rem st tx_queue:rx_queue ...", addresses as
  // HEX_IP:HEX_PORT. The sender's end is the one whose remote port is ours;
  // on loopback its send queue holds bytes only while our window is shut.
  std::ifstream tcp("/proc/net/tcp");
  std::string line;
  std::getline(tcp, line);
  while (std::getline(tcp, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues;
    fields >> slot >> local >> remote >> state >> queues;
    const size_t colon = remote.find(':');
    if (colon == std::string::npos || std::stoi(remote.substr(colon + 1), nullptr, 16) != port_) {
      continue;
    }
    if (std::stoul(queues.substr(0, queues.find(':')), nullptr, 16) > 0) return true;
  }
  return false;
}

std::vector<std::string> SocketPrinter::Connections() {
  const std::lock_guard lock(mutex_);
  return connections_;
}

void SocketPrinter::Serve(int listener, size_t cut_first_after, bool stall) {
  size_t cut_after = cut_first_after;
  while (!stop_) {
    pollfd ready{listener, POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0) continue;
    const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    size_t index;
    {
      const std::lock_guard lock(mutex_);
      index = connections_.size();
      connections_.emplace_back();
    }
    size_t received = 0;
    char buffer[65536];
    while (stall && !stop_) usleep(20 * 1000);
    while (!stop_) {
      pollfd data{connection, POLLIN, 0};
      if (poll(&data, 1, 50) <= 0) continue;
      size_t want = sizeof buffer;
      if (cut_after > 0) want = std::min(want, cut_after - received);
      const ssize_t n = read(connection, buffer, want);
      if (n <= 0) break;
      received += static_cast<size_t>(n);
      {
        const std::lock_guard lock(mutex_);
        connections_[index].append(buffer, static_cast<size_t>(n));
      }
      if (cut_after > 0 && received >= cut_after) {
        // A reset, as a printer switched off mid-job gives.
        linger off{1, 0};
        setsockopt(connection, SOL_SOCKET, SO_LINGER, &off, sizeof off);
        break;
      }
    }
    close(connection);
    cut_after = 0;
  }
  close(listener);
}

}  // namespace zova::testing
