#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/ReadFile.h"

namespace vandrel::test {

// A fresh folder under the system temp folder, removed with everything in it.
class TempDataFolder {
 public:
  TempDataFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vandrel-directory-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDataFolder() { std::error_code ec; std::filesystem::remove_all(path_, ec); }
  const std::filesystem::path& path() const { return path_; }
  // Writes content to relative (creating folders); returns the full path.
  std::filesystem::path write(const std::string& relative, std::string_view content) const {
    std::filesystem::create_directories((path_ / relative).parent_path());
    std::ofstream(path_ / relative, std::ios::binary) << content;
    return path_ / relative;
  }

 private:
  std::filesystem::path path_;
};

// The reply as sent, compressed or not; an empty one (status -1) when there is none.
inline httplib::Response Fetch(int port, const std::string& target, const httplib::Headers& headers = {}) {
  httplib::Client client("127.0.0.1", port);
  client.set_decompress(false);
  auto reply = client.Get(target, headers);
  return reply ? *reply : httplib::Response{};
}

inline int StatusOf(const httplib::Result& reply) { return reply ? reply->status : 0; }

// A socket connected to 127.0.0.1:port with the timeout on both directions, or -1.
// From another 127.x.y.z source (all reach loopback on Linux) one machine
// plays many client addresses.
inline int ConnectLoopback(int port, std::chrono::milliseconds timeout = std::chrono::seconds(5),
                           const std::string& source = "") {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  timeval tv{static_cast<time_t>(timeout.count() / 1000), static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_in from{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {}, .sin_zero = {}};
  const bool bound = source.empty() || (::inet_pton(AF_INET, source.c_str(), &from.sin_addr) == 1 &&
                                        ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0);
  sockaddr_in addr{.sin_family = AF_INET, .sin_port = htons(static_cast<uint16_t>(port)),
                   .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
  if (bound && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
  ::close(fd);
  return -1;
}

// The reply head on fd (through its blank line), or what came before the
// connection ended or timeout passed.
inline std::string ReadHead(int fd, std::chrono::milliseconds timeout) {
  std::string head;
  const auto end = std::chrono::steady_clock::now() + timeout;
  char c = 0;
  for (pollfd p{fd, POLLIN, 0}; head.find("\r\n\r\n") == std::string::npos;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 || ::recv(fd, &c, 1, 0) != 1) break;
    head += c;
  }
  return head;
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

// Sends bytes as they are, half-closes, and returns all that comes back
// until the server closes or the timeout passes.
inline std::string RawExchange(int port, std::string_view bytes, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
  const int fd = ConnectLoopback(port, timeout);
  if (fd < 0) throw std::runtime_error("connect");
  // The server may answer and hang up before taking everything; that is fine.
  for (ssize_t n = 0; !bytes.empty() && (n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)) > 0;) bytes.remove_prefix(n);
  ::shutdown(fd, SHUT_WR);
  std::string reply;
  char buffer[65536];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return reply;
}

// The status code of the first response in raw, or 0 when there is none.
inline int StatusOf(const std::string& raw) {
  return raw.rfind("HTTP/1.", 0) == 0 && raw.size() >= 12 ? std::stoi(raw.substr(9, 3)) : 0;
}

// A GET with the target exactly as given; Host is 127.0.0.1 unless extraHeaders carry one.
inline std::string RawGet(int port, std::string_view target, std::string_view extraHeaders = "Connection: close\r\n") {
  std::string request = "GET " + std::string(target) + " HTTP/1.1\r\n";
  if (extraHeaders.find("Host:") == std::string_view::npos) request += "Host: 127.0.0.1\r\n";
  return RawExchange(port, request + std::string(extraHeaders) + "\r\n");
}

}  // namespace vandrel::test
