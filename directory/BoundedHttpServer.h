#pragma once

#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace vandrel::directory {

// httplib's server with its own connection loop: every connection goes
// through a ConnectionStream, a request that carries a body ends its
// connection (bodies are never read), ranges are ignored, and idle or slow
// connections give way as soon as the server stops. An idle keep-alive
// connection also gives way when others wait for a worker, so a few quiet
// clients cannot hold every worker while new ones queue.
class BoundedHttpServer : public httplib::Server {
 public:
  BoundedHttpServer();

  // Binds and listens; port 0 picks a free one. Returns the port, or -1.
  int bindTo(const std::string& host, int port);

  // The client's Accept-Encoding, moved here before routing so that httplib
  // never compresses on its own (it ignores q=0 and sends no Vary).
  static constexpr const char* kClientEncodings = "Vandrel-Client-Accept-Encoding";

  // Accepted connections waiting for a worker, and workers at work.
  struct Load {
    std::atomic<std::size_t> queued{0};
    std::atomic<std::size_t> busy{0};
  };

  // Requests whose replies have no length and so end with the connection.
  void setEndsConnection(std::function<bool(const httplib::Request&)> predicate);

 private:
  bool process_and_close_socket(socket_t sock) override;

  std::function<bool(const httplib::Request&)> endsConnection_;
  std::shared_ptr<Load> load_ = std::make_shared<Load>();
};

}  // namespace vandrel::directory
