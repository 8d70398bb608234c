#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace vandrel::test {

// A socket to 127.0.0.1:port from source, any 127.x.y.z address (all of
// them reach loopback on Linux), so one machine plays many clients; -1 on
// failure. Reads and writes give up after timeout.
inline int ConnectFrom(const std::string& source, int port,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  timeval tv{static_cast<time_t>(timeout.count() / 1000), static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  ::inet_pton(AF_INET, source.c_str(), &from.sin_addr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
      ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
    return fd;
  }
  ::close(fd);
  return -1;
}

inline bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The reply head on fd (through its blank line), or what came before the
// connection ended or timeout passed.
inline std::string ReadHead(int fd, std::chrono::milliseconds timeout) {
  std::string head;
  const auto end = std::chrono::steady_clock::now() + timeout;
  char c = 0;
  while (head.find("\r\n\r\n") == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    if (::recv(fd, &c, 1, 0) != 1) break;
    head += c;
  }
  return head;
}

// An HTTP/1.1 client on one keep-alive connection that it opens again only
// when a reply said "Connection: close"; any other loss of the connection
// is a failed request.
class KeepAliveClient {
 public:
  KeepAliveClient(std::string source, int port) : source_(std::move(source)), port_(port) {}
  ~KeepAliveClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  KeepAliveClient(const KeepAliveClient&) = delete;
  KeepAliveClient& operator=(const KeepAliveClient&) = delete;

  // The reply's status, or 0 when no whole reply came.
  int get(const std::string& target) {
    if (fd_ < 0 && (fd_ = ConnectFrom(source_, port_)) < 0) return 0;
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::size_t headEnd = std::string::npos;
    bool whole = SendAll(fd_, request);
    while (whole && (headEnd = buffer_.find("\r\n\r\n")) == std::string::npos) whole = fill();
    const std::string head = whole ? buffer_.substr(0, headEnd + 4) : std::string();
    const std::size_t length = head.size() + HeaderNumber(head, "\r\nContent-Length:");
    while (whole && buffer_.size() < length) whole = fill();
    whole = whole && head.rfind("HTTP/1.1 ", 0) == 0;
    if (!whole || head.find("\r\nConnection: close\r\n") != std::string::npos) {
      ::close(fd_);
      fd_ = -1;
      buffer_.clear();
    } else {
      buffer_.erase(0, length);
    }
    return whole ? std::stoi(head.substr(9, 3)) : 0;
  }

 private:
  static std::size_t HeaderNumber(const std::string& head, const std::string& name) {
    const std::size_t at = head.find(name);
    return at == std::string::npos ? 0 : std::stoul(head.substr(at + name.size()));
  }

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
