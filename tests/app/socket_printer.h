// A printer on a TCP socket of 127.0.0.1, as a socket:// device reaches
// one: it records what each connection sends, can refuse connections (by
// not listening) and can cut a connection after some bytes.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zova::testing {

class SocketPrinter {
 public:
  // Takes a free port; does not listen until Listen.
  SocketPrinter();
  ~SocketPrinter();
  SocketPrinter(const SocketPrinter&) = delete;
  SocketPrinter& operator=(const SocketPrinter&) = delete;

  int port() const { return port_; }
  std::string Uri() const { return "socket://127.0.0.1:" + std::to_string(port_); }

  // Accepts connections; the first is cut after `cut_first_after` bytes
  // (0: never).
  void Listen(size_t cut_first_after = 0);
  // Accepts connections and reads nothing, as a printer out of paper.
  void Stall();
  // Stops listening: connections are refused.
  void Refuse();
  // Whether the sender's end of a connection holds bytes this printer does
  // not take: a stalled connection is full.
  bool SenderBlocked() const;
  // The bytes of every connection so far, in order.
  std::vector<std::string> Connections();

 private:
  void Start(size_t cut_first_after, bool stall);
  void Serve(int listener, size_t cut_first_after, bool stall);

  int port_ = 0;
  std::thread server_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> connections_;
};

}  // namespace zova::testing
