#include "directory/ConnectionStream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

ConnectionStream::ConnectionStream(int fd, Limits limits, std::function<bool()> stopping)
    : fd_(fd), limits_(limits), stopping_(std::move(stopping)) {
  beginRequest();
}

bool ConnectionStream::waitFor(short events, milliseconds timeout) const {
  const auto end = Clock::now() + timeout;
  for (;;) {
    if (stopping_()) return false;
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now());
    if (left.count() < 0) return false;
    pollfd p{fd_, events, 0};
    const int n = ::poll(&p, 1, static_cast<int>(std::min(left, kSlice).count()));
    if (n > 0) return (p.revents & (events | POLLHUP | POLLERR)) != 0;
    if (n < 0 && errno != EINTR) return false;
  }
}

bool ConnectionStream::waitForRequest(milliseconds idle, const std::function<bool()>& giveWay, milliseconds grace) {
  if (bufferBegin_ < bufferEnd_) return true;
  if (!giveWay) return waitFor(POLLIN, idle);
  const auto end = Clock::now() + idle;
  for (;;) {
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now());
    if (left.count() <= 0 || stopping_()) return false;
    const bool yielding = giveWay();
    if (waitFor(POLLIN, std::min(yielding ? grace : kSlice, left))) return true;
    if (yielding && giveWay()) return false;
  }
}

void ConnectionStream::beginRequest() {
  headBytes_ = 0;
  headDeadline_ = Clock::now() + limits_.headDeadline;
}

bool ConnectionStream::is_readable() const {
  if (bufferBegin_ < bufferEnd_) return true;
  const auto left = std::chrono::duration_cast<milliseconds>(headDeadline_ - Clock::now());
  return waitFor(POLLIN, std::min(limits_.readTimeout, std::max(left, milliseconds(0))));
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
  if (size == 0) return 0;
  if (headBytes_ >= limits_.maxHeadBytes || Clock::now() > headDeadline_) return -1;
  size = std::min(size, limits_.maxHeadBytes - headBytes_);
  while (bufferBegin_ == bufferEnd_) {
    if (!is_readable()) return -1;
    const ssize_t n = ::recv(fd_, buffer_.data(), buffer_.size(), MSG_DONTWAIT);
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return -1;
    }
    bufferBegin_ = 0;
    bufferEnd_ = static_cast<std::size_t>(n);
  }
  const std::size_t take = std::min(size, bufferEnd_ - bufferBegin_);
  std::memcpy(ptr, buffer_.data() + bufferBegin_, take);
  bufferBegin_ += take;
  headBytes_ += take;
  return static_cast<ssize_t>(take);
}

bool ConnectionStream::is_writable() const { return waitFor(POLLOUT, limits_.writeTimeout); }

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

void ConnectionStream::closeGracefully(milliseconds linger) {
  ::shutdown(fd_, SHUT_WR);
  const auto end = Clock::now() + linger;
  std::size_t drained = 0;
  char sink[4096];
  while (drained < 1024 * 1024 && !stopping_()) {
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::min(left, kSlice).count())) <= 0) continue;
    const ssize_t n = ::recv(fd_, sink, sizeof sink, MSG_DONTWAIT);
    if (n <= 0) break;
    drained += static_cast<std::size_t>(n);
  }
  ::close(fd_);
}

}  // namespace vandrel::directory
