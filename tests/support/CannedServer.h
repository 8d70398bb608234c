#pragma once

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/Loopback.h"

namespace vandrel::test {

// A loopback listener that answers every connection with one fixed reply, or
// never answers at all when the reply is empty. With an endless part, that
// part follows the reply again and again until the client goes (at most for
// a minute).
class CannedServer {
 public:
  explicit CannedServer(std::string reply, std::string endless = {})
      : reply_(std::move(reply)), endless_(std::move(endless)) {}
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
      if (!endless_.empty()) sendEndlessly(fd);
      ::shutdown(fd, SHUT_WR);
      ::close(fd);
    }
    for (const int fd : held) ::close(fd);
  }

  void sendEndlessly(int fd) {
    timeval tv{0, 100000};  // a client that stops reading does not hold the server's end
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    std::size_t at = 0;  // a part sent in pieces still goes whole, for chunk framing
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
         !stopping_ && std::chrono::steady_clock::now() < end;) {
      const ssize_t sent = ::send(fd, endless_.data() + at, endless_.size() - at, MSG_NOSIGNAL);
      if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
      if (sent > 0) at = (at + static_cast<std::size_t>(sent)) % endless_.size();
    }
  }

  std::string reply_;
  std::string endless_;
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
