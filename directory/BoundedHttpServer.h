#pragma once

#include <httplib.h>

#include <functional>
#include <memory>
#include <string>

#include "directory/ConnectionDispatcher.h"

namespace vandrel::directory {

// httplib's server with its own connection handling: a ConnectionDispatcher
// holds idle and slow connections without a worker and hands whole request
// heads to workers; a request that carries a body ends its connection
// (bodies are never read), ranges are ignored, and a keep-alive connection
// closes only with "Connection: close" on a reply or after the idle time
// the reply announced.
class BoundedHttpServer : public httplib::Server {
 public:
  BoundedHttpServer();
  ~BoundedHttpServer() override;

  // Binds and listens; port 0 picks a free one. Returns the port, or -1.
  int bindTo(const std::string& host, int port);
  // After stop(): ends every connection and waits for the workers.
  void endConnections();

  // The client's Accept-Encoding, moved here before routing so that httplib
  // never compresses on its own (it ignores q=0 and sends no Vary).
  static constexpr const char* kClientEncodings = "Vandrel-Client-Accept-Encoding";

  // Requests whose replies have no length and so end with the connection.
  void setEndsConnection(std::function<bool(const httplib::Request&)> predicate);

 private:
  bool process_and_close_socket(socket_t sock) override;
  bool serve(ConnectionDispatcher::Connection& connection, std::string head);

  std::function<bool(const httplib::Request&)> endsConnection_;
  std::unique_ptr<ConnectionDispatcher> dispatcher_;
};

}  // namespace vandrel::directory
