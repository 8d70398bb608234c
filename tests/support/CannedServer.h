#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/Loopback.h"

namespace vandrel::test {

// A loopback listener that answers every connection with one fixed reply, or
// never answers at all when the reply is empty.
class CannedServer {
 public:
  explicit CannedServer(std::string reply) : reply_(std::move(reply)) {}
  ~CannedServer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
  }
  CannedServer(const CannedServer&) = delete;
  CannedServer& operator=(const CannedServer&) = delete;

  std::string address() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  void run() {
    std::vector<int> held;  // silent connections stay open until the end
    for (pollfd p{listener_, POLLIN, 0}; !stopping_;) {
      const int fd = ::poll(&p, 1, 50) > 0 ? ::accept(listener_, nullptr, nullptr) : -1;
      if (fd < 0 || reply_.empty()) {
        if (fd >= 0) held.push_back(fd);
        continue;
      }
      char buffer[4096];
      pollfd r{fd, POLLIN, 0};
      if (::poll(&r, 1, 2000) > 0) (void)::recv(fd, buffer, sizeof buffer, 0);
      (void)::send(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL);
      ::shutdown(fd, SHUT_WR);
      ::close(fd);
    }
    for (const int fd : held) ::close(fd);
  }

  std::string reply_;
  int port_ = 0;
  int listener_ = ListenOnLoopback(port_);
  std::atomic<bool> stopping_{false};
  std::thread thread_{[this] { run(); }};
};

// A loopback port on which nothing listens.
inline int ClosedPort() {
  int port = 0;
  ::close(ListenOnLoopback(port));
  return port;
}

}  // namespace vandrel::test
