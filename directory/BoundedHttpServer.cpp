#include "directory/BoundedHttpServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>

#include "directory/ConnectionStream.h"

namespace vandrel::directory {

namespace {

constexpr std::size_t kRequestsPerConnection = 100;
constexpr std::chrono::milliseconds kKeepAliveIdle{5000};
// httplib listens with a backlog of 5, too few for a burst of clients.
constexpr int kBacklog = 1024;
// One worker per connection: each keep-alive client and each tone listener
// holds one for as long as it stays.
constexpr std::size_t kWorkers = 256;

bool CarriesBody(const httplib::Request& req) {
  if (req.has_header("Transfer-Encoding")) return true;
  const std::string length = req.get_header_value("Content-Length");
  return !length.empty() && length.find_first_not_of('0') != std::string::npos;
}

// httplib's pool, counting the connections that wait for a worker while
// every worker is busy.
class CountingPool final : public httplib::TaskQueue {
 public:
  CountingPool(std::size_t workers, std::shared_ptr<BoundedHttpServer::Load> load)
      : pool_(workers), load_(std::move(load)) {}
  void enqueue(std::function<void()> fn) override {
    ++load_->queued;
    pool_.enqueue([fn = std::move(fn), load = load_] {
      --load->queued;
      ++load->busy;
      fn();
      --load->busy;
    });
  }
  void shutdown() override { pool_.shutdown(); }

 private:
  httplib::ThreadPool pool_;
  std::shared_ptr<BoundedHttpServer::Load> load_;
};

}  // namespace

BoundedHttpServer::BoundedHttpServer() {
  set_keep_alive_max_count(kRequestsPerConnection);
  set_keep_alive_timeout(std::chrono::duration_cast<std::chrono::seconds>(kKeepAliveIdle).count());
  new_task_queue = [load = load_] { return new CountingPool(kWorkers, load); };
  // httplib's default adds SO_REUSEPORT, which would let a second server
  // silently share a port already taken.
  set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
}

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
  if (bound > 0) ::listen(svr_sock_, kBacklog);
  return bound > 0 ? bound : -1;
}

bool BoundedHttpServer::process_and_close_socket(socket_t sock) {
  int yes = 1;
  ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  ConnectionStream stream(sock, ConnectionStream::Limits{},
                          [this] { return svr_sock_ == INVALID_SOCKET; });
  bool ok = false;
  bool gaveWay = false;
  const std::function<bool()> othersWait = [this] { return load_->queued > 0 && load_->busy >= kWorkers; };
  for (std::size_t served = 0; served < kRequestsPerConnection; ++served) {
    if (!stream.waitForRequest(kKeepAliveIdle, served > 0 ? othersWait : std::function<bool()>())) {
      gaveWay = served > 0 && othersWait();
      break;
    }
    stream.beginRequest();
    bool closed = false;
    bool mustClose = false;
    bool parsed = false;
    const bool last = served + 1 == kRequestsPerConnection;
    ok = process_request(stream, last, closed, [&](httplib::Request& req) {
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
    if (!ok || closed || mustClose || !parsed) break;
  }
  // Nothing of a next request was read, so there is nothing to drain.
  stream.closeGracefully(gaveWay ? std::chrono::milliseconds(0) : std::chrono::milliseconds(500));
  return ok;
}

}  // namespace vandrel::directory
