#pragma once

#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/Loopback.h"

namespace vandrel::test {

// The reply as sent, compressed or not; an empty one (status -1) when there is none.
inline httplib::Response Fetch(int port, const std::string& target, const httplib::Headers& headers = {}) {
  httplib::Client client("127.0.0.1", port);
  client.set_decompress(false);
  auto reply = client.Get(target, headers);
  return reply ? *reply : httplib::Response{};
}

// An HTTP/1.1 client on one keep-alive connection that it opens again only
// after a reply said "Connection: close"; any other loss of the connection
// fails the request.
class KeepAliveClient {
 public:
  KeepAliveClient(std::string source, int port) : source_(std::move(source)), port_(port) {}
  ~KeepAliveClient() { ::close(fd_); }
  KeepAliveClient(const KeepAliveClient&) = delete;
  KeepAliveClient& operator=(const KeepAliveClient&) = delete;

  // The reply's status, or 0 when no whole reply came.
  int get(const std::string& target) {
    if (fd_ < 0 && (fd_ = ConnectLoopback(port_, std::chrono::seconds(5), source_)) < 0) return 0;
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    bool whole = ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    std::size_t headEnd = std::string::npos;
    while (whole && (headEnd = buffer_.find("\r\n\r\n")) == std::string::npos) whole = fill();
    const std::string head = whole ? buffer_.substr(0, headEnd + 4) : std::string();
    const std::size_t at = head.find("\r\nContent-Length:");
    const std::size_t length = head.size() + (at == std::string::npos ? 0 : std::stoul(head.substr(at + 17)));
    while (whole && buffer_.size() < length) whole = fill();
    whole = whole && head.rfind("HTTP/1.1 ", 0) == 0;
    buffer_.erase(0, whole ? length : buffer_.size());
    if (!whole || head.find("\r\nConnection: close\r\n") != std::string::npos) {
      ::close(fd_);
      fd_ = -1;
      buffer_.clear();
    }
    return whole ? std::stoi(head.substr(9, 3)) : 0;
  }

 private:
  bool fill() {
    char chunk[16384];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n > 0) buffer_.append(chunk, static_cast<std::size_t>(n));
    return n > 0;
  }

  std::string source_;
  int port_;
  int fd_ = -1;
  std::string buffer_;
};

}  // namespace vandrel::test
