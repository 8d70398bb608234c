#include "directory/ConnectionStream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vandrel::directory {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Short slices keep stop() responsive while a client is slow.
constexpr milliseconds kSlice{50};

void AddressOf(const sockaddr_storage& addr, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = {};
  if (addr.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(addr);
    ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    port = ntohs(v4.sin_port);
  } else if (addr.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(addr);
    ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    port = ntohs(v6.sin6_port);
  }
  ip = text;
}

}  // namespace

ConnectionStream::ConnectionStream(int fd, std::string head, milliseconds writeTimeout, std::function<bool()> stopping)
    : fd_(fd), head_(std::move(head)), writeTimeout_(writeTimeout), stopping_(std::move(stopping)) {}

bool ConnectionStream::is_readable() const { return read_ < head_.size(); }

ssize_t ConnectionStream::read(char* ptr, size_t size) {
  const std::size_t take = std::min(size, head_.size() - read_);
  std::memcpy(ptr, head_.data() + read_, take);
  read_ += take;
  return static_cast<ssize_t>(take);
}

bool ConnectionStream::is_writable() const {
  const auto end = Clock::now() + writeTimeout_;
  for (;;) {
    if (stopping_()) return false;
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now());
    if (left.count() < 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    const int n = ::poll(&p, 1, static_cast<int>(std::min(left, kSlice).count()));
    if (n > 0) return (p.revents & (POLLOUT | POLLHUP | POLLERR)) != 0;
    if (n < 0 && errno != EINTR) return false;
  }
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
  for (;;) {
    if (!is_writable()) return -1;
    // Non-blocking, so a client that stops reading cannot pin this thread.
    const ssize_t n = ::send(fd_, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return n;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
  }
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) AddressOf(addr, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) AddressOf(addr, ip, port);
}

std::string PeerAddressOf(int fd) {
  std::string ip;
  int port = 0;
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) AddressOf(addr, ip, port);
  return ip;
}

}  // namespace vandrel::directory
