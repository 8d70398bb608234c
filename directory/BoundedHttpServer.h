#pragma once

#include <httplib.h>

#include <functional>
#include <string>

namespace vandrel::directory {

// httplib's server with its own connection loop: every connection goes
// through a ConnectionStream, a request that carries a body ends its
// connection (bodies are never read), ranges are ignored, and idle or slow
// connections give way as soon as the server stops.
class BoundedHttpServer : public httplib::Server {
 public:
  BoundedHttpServer();

  // Binds and listens; port 0 picks a free one. Returns the port, or -1.
  int bindTo(const std::string& host, int port);

  // Requests whose replies have no length and so end with the connection.
  void setEndsConnection(std::function<bool(const httplib::Request&)> predicate);

 private:
  bool process_and_close_socket(socket_t sock) override;

  std::function<bool(const httplib::Request&)> endsConnection_;
};

}  // namespace vandrel::directory
