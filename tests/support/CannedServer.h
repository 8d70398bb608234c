#pragma once

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/Loopback.h"

namespace vandrel::test {

// One fixed reply to every connection (none when empty), then part count times (0: till the client
// goes, a minute at most), each a gap after the last; held, the connection then stays open and silent.
class CannedServer {
 public:
  explicit CannedServer(std::string reply, std::string part = {}, std::size_t count = 0, bool held = false,
                        std::chrono::microseconds gap = {})
      : reply_(std::move(reply)), part_(std::move(part)), count_(count), hold_(held), gap_(gap) {}
  ~CannedServer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
  }

  std::string address() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  void run() {
    std::vector<int> held;  // silent connections stay open until the end
    for (pollfd p{listener_, POLLIN, 0}; !stopping_;) {
      const int fd = ::poll(&p, 1, 50) > 0 ? ::accept(listener_, nullptr, nullptr) : -1;
      if (fd < 0) continue;
      if (!reply_.empty()) {
        char buffer[4096];
        if (pollfd r{fd, POLLIN, 0}; ::poll(&r, 1, 2000) > 0) (void)::recv(fd, buffer, sizeof buffer, 0);
        using Clock = std::chrono::steady_clock;
        const auto end = Clock::now() + std::chrono::minutes(1);
        bool open = Send(fd, reply_);
        for (std::size_t sent = 0; open && !part_.empty() && (count_ == 0 || sent < count_) && Clock::now() < end; ++sent)
          open = (std::this_thread::sleep_for(gap_), Send(fd, part_));
        if (!hold_) {
          ::shutdown(fd, SHUT_WR);
          ::close(fd);
          continue;
        }
      }
      held.push_back(fd);
    }
    for (const int fd : held) ::close(fd);
  }

  // False when the client has gone or the server stops.
  bool Send(int fd, std::string_view bytes) {
    for (pollfd w{fd, POLLOUT, 0}; !bytes.empty() && !stopping_;) {
      if (::poll(&w, 1, 50) <= 0) continue;
      const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n <= 0 && errno != EAGAIN) return false;
      if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return bytes.empty();
  }

  std::string reply_;
  std::string part_;
  std::size_t count_;
  bool hold_;
  std::chrono::microseconds gap_;
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
