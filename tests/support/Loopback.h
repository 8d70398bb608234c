#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

namespace vandrel::test {

// A socket listening on 127.0.0.1 at a free port, which it stores in port.
inline int ListenOnLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    throw std::runtime_error("cannot listen on loopback");
  }
  port = ntohs(addr.sin_port);
  return fd;
}

// Connected to 127.0.0.1:port, or -1; from another 127.x.y.z source one machine plays many clients.
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

// The reply head on fd through its blank line, or what came before the end or the timeout.
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

// Whether condition came true, asked every 20 ms (at least once) for up to the given milliseconds.
inline bool PollUntil(const std::function<bool()>& condition, int milliseconds) {
  for (int waited = 0; waited <= milliseconds; waited += 20) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// Whether something accepts connections on the loopback port within the given milliseconds.
inline bool WaitForListener(int port, int milliseconds) {  // close(-1) fails when nothing connected
  return PollUntil([port] { return ::close(ConnectLoopback(port, std::chrono::seconds(1))) == 0; }, milliseconds);
}

// Sends bytes as they are, half-closes, and returns all that comes back until close or timeout.
inline std::string RawExchange(int port, std::string_view bytes,
                               std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
  const int fd = ConnectLoopback(port, timeout);
  if (fd < 0) throw std::runtime_error("connect");
  // The server may answer and hang up before taking everything; that is fine.
  for (ssize_t n = 0; !bytes.empty() && (n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)) > 0;)
    bytes.remove_prefix(n);
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

}  // namespace vandrel::test
