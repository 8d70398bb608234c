#pragma once

#include <httplib.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>

namespace vandrel::directory {

// One client connection as seen by httplib, with limits httplib itself lacks:
// a byte budget and a deadline for each request head, so a client cannot grow
// a request line or header block without bound or hold a worker forever.
// Every wait gives up promptly once the server is stopping.
class ConnectionStream final : public httplib::Stream {
 public:
  struct Limits {
    std::size_t maxHeadBytes = 64 * 1024;
    std::chrono::milliseconds readTimeout{10000};
    std::chrono::milliseconds writeTimeout{10000};
    std::chrono::milliseconds headDeadline{30000};
  };

  ConnectionStream(int fd, Limits limits, std::function<bool()> stopping);

  // Waits for the next request to start arriving; false on idle timeout,
  // close or server stop, or once giveWay holds and grace has passed.
  bool waitForRequest(std::chrono::milliseconds idle, const std::function<bool()>& giveWay = {},
                      std::chrono::milliseconds grace = std::chrono::milliseconds(10));
  // Starts the budget and deadline of a new request.
  void beginRequest();
  // Half-closes, then reads away what the client still sends for up to
  // linger so the reply is not destroyed by a reset.
  void closeGracefully(std::chrono::milliseconds linger = std::chrono::milliseconds(500));

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return fd_; }

 private:
  bool waitFor(short events, std::chrono::milliseconds timeout) const;

  int fd_;
  Limits limits_;
  std::function<bool()> stopping_;
  std::array<char, 4096> buffer_{};
  std::size_t bufferBegin_ = 0;
  std::size_t bufferEnd_ = 0;
  std::size_t headBytes_ = 0;
  std::chrono::steady_clock::time_point headDeadline_;
};

}  // namespace vandrel::directory
