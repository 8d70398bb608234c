#include "RawHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <stdexcept>

namespace vandrel::test {

std::string RawExchange(int port, std::string_view bytes, std::chrono::milliseconds timeout) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  timeval tv{static_cast<time_t>(timeout.count() / 1000), static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    throw std::runtime_error("connect");
  }
  // The server may answer and hang up before taking everything; that is fine.
  for (std::size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  ::shutdown(fd, SHUT_WR);
  std::string reply;
  char buffer[65536];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return reply;
}

int StatusOf(const std::string& raw) {
  if (raw.rfind("HTTP/1.", 0) != 0 || raw.size() < 12) return 0;
  return std::stoi(raw.substr(9, 3));
}

std::string RawGet(int port, std::string_view target, std::string_view extraHeaders) {
  std::string request = "GET " + std::string(target) + " HTTP/1.1\r\n";
  if (extraHeaders.find("Host:") == std::string_view::npos) request += "Host: 127.0.0.1\r\n";
  request += extraHeaders;
  request += "\r\n";
  return RawExchange(port, request);
}

}  // namespace vandrel::test
