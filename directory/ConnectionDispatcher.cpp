#include "directory/ConnectionDispatcher.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "directory/ConnectionStream.h"

namespace vandrel::directory {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long a closing connection's late bytes are read away, so that the
// last reply is not destroyed by a reset.
constexpr milliseconds kLinger{500};
constexpr milliseconds kTick{50};
// httplib's own bounds on one line, which it would answer with a bare 400.
constexpr std::size_t kMaxLine = 8 * 1024;
constexpr const char* kRetryAfter = "Retry-After: 5\r\n";

// Just past the blank line that ends the head, or npos.
std::size_t HeadEnd(const std::string& bytes) {
  const std::size_t crlf = bytes.find("\r\n\r\n");
  const std::size_t lf = bytes.find("\n\n");
  std::size_t end = std::string::npos;
  if (crlf != std::string::npos) end = crlf + 4;
  if (lf != std::string::npos && lf + 2 < end) end = lf + 2;
  return end;
}

// The status that refuses a head (414 for its request line, 431 for a
// header line or the whole), or 0 while it may still become a request.
int Refusal(const std::string& bytes, std::size_t headEnd, std::size_t maxHead) {
  const std::size_t limit = std::min(headEnd, bytes.size());
  bool firstLine = true;
  for (std::size_t start = 0; start < limit; firstLine = false) {
    const std::size_t nl = bytes.find('\n', start);
    const std::size_t end = (nl == std::string::npos || nl >= limit) ? limit : nl + 1;
    if (end - start > kMaxLine) return firstLine ? 414 : 431;
    if (end == limit) break;
    start = end;
  }
  const bool tooLong = headEnd == std::string::npos ? bytes.size() > maxHead : headEnd > maxHead;
  if (!tooLong) return 0;
  return bytes.find('\n') == std::string::npos ? 414 : 431;
}

const char* Reason(int status) {
  switch (status) {
    case 408: return "Request Timeout";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    default: return "Service Unavailable";
  }
}

}  // namespace

ConnectionDispatcher::ConnectionDispatcher(Limits limits, Serve serve, std::function<bool()> stopping)
    : limits_(limits), serve_(std::move(serve)), stopping_(std::move(stopping)) {
  epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  workers_ = std::make_unique<httplib::ThreadPool>(limits_.workers);
  thread_ = std::thread([this] { run(); });
}

ConnectionDispatcher::~ConnectionDispatcher() {
  stop();
  ::close(epoll_);
}

void ConnectionDispatcher::add(int fd) {
  int yes = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  auto* c = new Connection;
  c->fd = fd;
  c->address = PeerAddressOf(fd);
  c->deadline = Clock::now() + limits_.headDeadline;
  bool full = false;
  if (!c->address.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t& count = perAddress_[c->address];
    full = count >= limits_.perAddress;
    if (!full) ++count;
  }
  if (full) {
    c->address.clear();  // not counted
    return reject(c, 503, kRetryAfter);
  }
  watch(c);
}

void ConnectionDispatcher::watch(Connection* c) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopped_) {
    lock.unlock();
    return drop(c);
  }
  if (!held_.insert(c).second) return;
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP;
  event.data.ptr = c;
  if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, c->fd, &event) != 0) {
    lock.unlock();
    drop(c);
  }
}

void ConnectionDispatcher::dispatch(Connection* c) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (held_.erase(c) > 0) ::epoll_ctl(epoll_, EPOLL_CTL_DEL, c->fd, nullptr);
  }
  workers_->enqueue([this, c] {
    const std::size_t end = std::min(HeadEnd(c->buffer), c->buffer.size());
    std::string head = c->buffer.substr(0, end);
    c->buffer.erase(0, end);
    const bool keep = serve_(*c, std::move(head)) && !c->peerClosed;
    ++c->served;
    if (!keep) return beginClose(c);
    c->headStarted = !c->buffer.empty();
    c->deadline = Clock::now() + (c->headStarted ? limits_.headDeadline : limits_.keepAliveIdle);
    // A pipelined request may already be here whole.
    if (HeadEnd(c->buffer) != std::string::npos) return decide(c, false);
    watch(c);
  });
}

void ConnectionDispatcher::examine(Connection* c) {
  char chunk[16384];
  if (c->state == Connection::State::Closing) {
    // A few reads a round, so a client that keeps sending cannot hold the thread.
    for (int reads = 0; reads < 16; ++reads) {
      const ssize_t n = ::recv(c->fd, chunk, sizeof chunk, MSG_DONTWAIT);
      if (n > 0) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
      return drop(c);
    }
    return;
  }
  bool ended = false;
  for (;;) {
    const std::size_t room = limits_.maxHeadBytes + 1 - std::min(c->buffer.size(), limits_.maxHeadBytes + 1);
    if (room == 0) break;
    const ssize_t n = ::recv(c->fd, chunk, std::min(room, sizeof chunk), MSG_DONTWAIT);
    if (n > 0) {
      if (!c->headStarted) {
        c->headStarted = true;
        c->deadline = Clock::now() + limits_.headDeadline;
      }
      c->buffer.append(chunk, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
    ended = true;
    break;
  }
  decide(c, ended);
}

void ConnectionDispatcher::decide(Connection* c, bool ended) {
  const std::size_t end = HeadEnd(c->buffer);
  if (const int status = Refusal(c->buffer, end, limits_.maxHeadBytes)) return reject(c, status, "");
  if (end != std::string::npos) {
    c->peerClosed = ended;
    return dispatch(c);
  }
  if (ended) {
    if (c->buffer.empty()) return drop(c);
    // What came before the client stopped still gets its answer (400).
    c->peerClosed = true;
    dispatch(c);
  }
}

void ConnectionDispatcher::reject(Connection* c, int status, const char* extraHeader) {
  const std::string body = std::to_string(status) + " " + Reason(status) + "\n";
  const std::string reply = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
                            "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n" + extraHeader + "\r\n" + body;
  // Small enough for any socket buffer; a client that cannot take it loses it.
  (void)::send(c->fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  beginClose(c);
}

void ConnectionDispatcher::beginClose(Connection* c) {
  ::shutdown(c->fd, SHUT_WR);
  c->state = Connection::State::Closing;
  c->buffer.clear();
  c->deadline = Clock::now() + kLinger;
  watch(c);
}

void ConnectionDispatcher::drop(Connection* c) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (held_.erase(c) > 0) ::epoll_ctl(epoll_, EPOLL_CTL_DEL, c->fd, nullptr);
    if (!c->address.empty()) {
      const auto it = perAddress_.find(c->address);
      if (it != perAddress_.end() && --it->second == 0) perAddress_.erase(it);
    }
  }
  ::close(c->fd);
  delete c;
}

void ConnectionDispatcher::sweep() {
  const auto now = Clock::now();
  std::vector<Connection*> expired;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Connection* c : held_) {
      if (c->deadline <= now) expired.push_back(c);
    }
  }
  for (Connection* c : expired) {
    if (c->state == Connection::State::Waiting && c->headStarted) {
      reject(c, 408, "");
    } else {
      // Idle past the time the client was told, or done lingering.
      drop(c);
    }
  }
}

void ConnectionDispatcher::run() {
  std::vector<epoll_event> events(256);
  auto lastSweep = Clock::now();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopped_) return;
    }
    if (stopping_()) return;
    const int n = ::epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), static_cast<int>(kTick.count()));
    for (int i = 0; i < n; ++i) examine(static_cast<Connection*>(events[static_cast<std::size_t>(i)].data.ptr));
    if (Clock::now() - lastSweep >= 2 * kTick) {
      sweep();
      lastSweep = Clock::now();
    }
  }
}

void ConnectionDispatcher::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
  }
  if (thread_.joinable()) thread_.join();
  // Workers end their requests (streams watch the stopping predicate);
  // connections they hand back are closed at once.
  workers_->shutdown();
  std::vector<Connection*> left;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    left.assign(held_.begin(), held_.end());
  }
  for (Connection* c : left) drop(c);
}

}  // namespace vandrel::directory
