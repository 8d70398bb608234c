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

Clock::rep From(milliseconds wait) { return (Clock::now() + wait).time_since_epoch().count(); }
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

// Small enough for any socket buffer; a client that cannot take it loses it.
void SendError(int fd, int status, const char* extraHeader) {
  const std::string body = std::to_string(status) + " " + Reason(status) + "\n";
  const std::string reply = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
                            "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n" + extraHeader + "\r\n" + body;
  (void)::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

}  // namespace

ConnectionDispatcher::ConnectionDispatcher(Limits limits, Serve serve, std::function<bool()> stopping)
    : limits_(limits), serve_(std::move(serve)), stopping_(std::move(stopping)) {
  epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  for (std::size_t i = 0; i < limits_.workers; ++i) workers_.emplace_back([this] { work(); });
  sweeper_ = std::thread([this] {
    while (!stopped_ && !stopping_()) {
      std::this_thread::sleep_for(2 * kTick);
      sweep();
    }
  });
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
  c->deadline = From(limits_.headDeadline);
  c->busy = true;
  bool full = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!c->address.empty()) {
      std::size_t& count = perAddress_[c->address];
      full = count >= limits_.perAddress;
      if (!full) ++count;
    }
    held_.insert(c);
  }
  if (full) {
    c->address.clear();  // not counted
    SendError(fd, 503, kRetryAfter);
    ::shutdown(fd, SHUT_WR);
    c->state = Connection::State::Closing;
    c->deadline = From(kLinger);
  }
  arm(c, true);
}

void ConnectionDispatcher::arm(Connection* c, bool first) {
  if (stopped_) return drop(c);
  c->busy = false;
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
  event.data.ptr = c;
  if (::epoll_ctl(epoll_, first ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, c->fd, &event) != 0) {
    c->busy = true;
    drop(c);
  }
}

void ConnectionDispatcher::work() {
  epoll_event event{};
  while (!stopped_) {
    if (::epoll_wait(epoll_, &event, 1, static_cast<int>(kTick.count())) == 1) {
      handle(static_cast<Connection*>(event.data.ptr));
    }
  }
}

void ConnectionDispatcher::handle(Connection* c) {
  c->busy = true;
  char chunk[16384];
  if (c->state == Connection::State::Closing) {
    // A few reads a round, so a client that keeps sending cannot hold a worker.
    for (int reads = 0; reads < 16 && !c->expired; ++reads) {
      const ssize_t n = ::recv(c->fd, chunk, sizeof chunk, MSG_DONTWAIT);
      if (n > 0) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return arm(c);
      break;
    }
    return drop(c);
  }
  bool ended = false;
  for (;;) {
    const std::size_t room = limits_.maxHeadBytes + 1 - std::min(c->buffer.size(), limits_.maxHeadBytes + 1);
    if (room == 0) break;
    const ssize_t n = ::recv(c->fd, chunk, std::min(room, sizeof chunk), MSG_DONTWAIT);
    if (n > 0) {
      if (!c->headStarted) {
        c->headStarted = true;
        c->deadline = From(limits_.headDeadline);
      }
      c->buffer.append(chunk, static_cast<std::size_t>(n));
      continue;
    }
    ended = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
    break;
  }
  // Whole heads are served, pipelined ones one after the other.
  for (std::size_t end; (end = HeadEnd(c->buffer)) != std::string::npos || c->buffer.size() > limits_.maxHeadBytes;) {
    if (const int status = Refusal(c->buffer, end, limits_.maxHeadBytes)) return reject(c, status, "");
    if (!serveOne(c, end, ended)) return;
  }
  if (const int status = Refusal(c->buffer, std::string::npos, limits_.maxHeadBytes)) return reject(c, status, "");
  if (c->expired) {
    // Idle past the time the client was told, or a head that came too slowly.
    if (c->buffer.empty()) return drop(c);
    return reject(c, 408, "");
  }
  if (ended) {
    if (c->buffer.empty()) return drop(c);
    // What came before the client stopped still gets its answer (400).
    serveOne(c, c->buffer.size(), true);
    return;
  }
  arm(c);
}

bool ConnectionDispatcher::serveOne(Connection* c, std::size_t headEnd, bool ended) {
  std::string head = c->buffer.substr(0, headEnd);
  c->buffer.erase(0, headEnd);
  c->peerClosed = ended;
  const bool keep = serve_(*c, std::move(head)) && !ended;
  ++c->served;
  if (!keep) {
    beginClose(c);
    return false;
  }
  c->headStarted = !c->buffer.empty();
  c->deadline = From(c->headStarted ? limits_.headDeadline : limits_.keepAliveIdle);
  return true;
}

void ConnectionDispatcher::reject(Connection* c, int status, const char* extraHeader) {
  SendError(c->fd, status, extraHeader);
  beginClose(c);
}

void ConnectionDispatcher::beginClose(Connection* c) {
  ::shutdown(c->fd, SHUT_WR);
  c->state = Connection::State::Closing;
  c->buffer.clear();
  c->deadline = From(kLinger);
  if (c->expired) return drop(c);
  arm(c);
}

void ConnectionDispatcher::drop(Connection* c) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_.erase(c);
    if (!c->address.empty()) {
      const auto it = perAddress_.find(c->address);
      if (it != perAddress_.end() && --it->second == 0) perAddress_.erase(it);
    }
  }
  ::close(c->fd);
  delete c;
}

void ConnectionDispatcher::sweep() {
  const Clock::rep now = Clock::now().time_since_epoch().count();
  std::lock_guard<std::mutex> lock(mutex_);
  for (Connection* c : held_) {
    // Waking the owner through the socket keeps every connection in the
    // hands of one thread at a time.
    if (!c->busy && c->deadline <= now && !c->expired.exchange(true)) ::shutdown(c->fd, SHUT_RD);
  }
}

void ConnectionDispatcher::stop() {
  if (stopped_.exchange(true)) return;
  if (sweeper_.joinable()) sweeper_.join();
  // Workers end their requests (streams watch the stopping predicate);
  // connections they would hand back are closed at once.
  for (std::thread& w : workers_) w.join();
  std::vector<Connection*> left;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    left.assign(held_.begin(), held_.end());
  }
  for (Connection* c : left) drop(c);
}

}  // namespace vandrel::directory
