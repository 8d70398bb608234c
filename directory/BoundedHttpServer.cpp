#include "directory/BoundedHttpServer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "directory/ConnectionStream.h"

namespace vandrel::directory {

namespace {

constexpr std::size_t kRequestsPerConnection = 100;
// Announced in Keep-Alive: timeout=N; the dispatcher waits a second longer.
constexpr std::chrono::seconds kKeepAliveIdle{5};
constexpr std::chrono::milliseconds kWriteTimeout{10000};
// httplib listens with a backlog of 5, too few for a burst of clients.
constexpr int kBacklog = 1024;
// Workers serve one request head at a time; only stream listeners keep one.
constexpr std::size_t kWorkers = 256;

// Runs each task at once on the accepting thread: handing a socket to the
// dispatcher takes microseconds, and a pool would only add a hop.
class InlineQueue final : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> fn) override { fn(); }
  void shutdown() override {}
};

bool CarriesBody(const httplib::Request& req) {
  if (req.has_header("Transfer-Encoding")) return true;
  const std::string length = req.get_header_value("Content-Length");
  return !length.empty() && length.find_first_not_of('0') != std::string::npos;
}

}  // namespace

BoundedHttpServer::BoundedHttpServer() {
  set_keep_alive_max_count(kRequestsPerConnection);
  set_keep_alive_timeout(kKeepAliveIdle.count());
  new_task_queue = [] { return new InlineQueue; };
  // httplib's default adds SO_REUSEPORT, which would let a second server
  // silently share a port already taken.
  set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
}

BoundedHttpServer::~BoundedHttpServer() { endConnections(); }

void BoundedHttpServer::setEndsConnection(std::function<bool(const httplib::Request&)> predicate) {
  endsConnection_ = std::move(predicate);
}

int BoundedHttpServer::bindTo(const std::string& host, int port) {
  int bound = -1;
  if (port == 0) {
    bound = bind_to_any_port(host);
  } else if (bind_to_port(host, port)) {
    bound = port;
  }
  if (bound <= 0) return -1;
  ::listen(svr_sock_, kBacklog);
  ConnectionDispatcher::Limits limits;
  limits.keepAliveIdle = kKeepAliveIdle + std::chrono::seconds(1);
  limits.workers = kWorkers;
  dispatcher_ = std::make_unique<ConnectionDispatcher>(
      limits, [this](ConnectionDispatcher::Connection& c, std::string head) { return serve(c, std::move(head)); },
      [this] { return svr_sock_ == INVALID_SOCKET; });
  return bound;
}

void BoundedHttpServer::endConnections() {
  if (dispatcher_) dispatcher_->stop();
}

bool BoundedHttpServer::process_and_close_socket(socket_t sock) {
  if (!dispatcher_) {
    ::close(sock);
    return false;
  }
  dispatcher_->add(sock);
  return true;
}

bool BoundedHttpServer::serve(ConnectionDispatcher::Connection& connection, std::string head) {
  ConnectionStream stream(connection.fd, std::move(head), kWriteTimeout, [this] { return svr_sock_ == INVALID_SOCKET; });
  bool closed = false;
  bool mustClose = false;
  bool parsed = false;
  const bool last = connection.served + 1 >= kRequestsPerConnection || connection.peerClosed;
  const bool ok = process_request(stream, last, closed, [&](httplib::Request& req) {
    parsed = true;
    req.ranges.clear();
    req.headers.erase(kClientEncodings);
    std::string encodings;
    for (auto [it, end] = req.headers.equal_range("Accept-Encoding"); it != end; ++it) {
      encodings += (encodings.empty() ? "" : ",") + it->second;
    }
    req.headers.erase("Accept-Encoding");
    if (!encodings.empty()) req.headers.emplace(kClientEncodings, encodings);
    // An unread body must not be taken for the next request.
    mustClose = CarriesBody(req) || (endsConnection_ && endsConnection_(req));
    if (mustClose) {
      req.headers.erase("Connection");
      req.headers.emplace("Connection", "close");
    }
  });
  // A request httplib could not parse leaves the connection out of step.
  return ok && !closed && !mustClose && parsed && !last;
}

}  // namespace vandrel::directory
