#include "support/CannedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace vandrel::test {

namespace {

int ListenOnLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
    ::close(fd);
    throw std::runtime_error("bind/listen");
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  return fd;
}

}  // namespace

CannedServer::CannedServer(std::string reply) : reply_(std::move(reply)) {
  listener_ = ListenOnLoopback(port_);
  thread_ = std::thread([this] { run(); });
}

CannedServer::~CannedServer() {
  stopping_ = true;
  thread_.join();
  ::close(listener_);
}

void CannedServer::run() {
  std::vector<int> held;  // silent connections stay open until the end
  while (!stopping_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const int fd = ::accept(listener_, nullptr, nullptr);
    if (fd < 0) continue;
    if (reply_.empty()) {
      held.push_back(fd);
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

int ClosedPort() {
  int port = 0;
  const int fd = ListenOnLoopback(port);
  ::close(fd);
  return port;
}

}  // namespace vandrel::test
