#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace vandrel::directory {

// One request on a client connection as httplib sees it: the head, already
// read whole by the dispatcher, is all there is to read; the reply is
// written straight to the socket. Writes never block for longer than the
// write time-out and give up promptly once the server is stopping.
class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int fd, std::string head, std::chrono::milliseconds writeTimeout, std::function<bool()> stopping);

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return fd_; }

 private:
  int fd_;
  std::string head_;
  std::size_t read_ = 0;
  std::chrono::milliseconds writeTimeout_;
  std::function<bool()> stopping_;
};

// The address of the client on fd as text, or "" when it cannot be had.
std::string PeerAddressOf(int fd);

}  // namespace vandrel::directory
