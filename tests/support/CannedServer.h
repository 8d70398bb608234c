#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace vandrel::test {

// A loopback listener that answers every connection with one fixed reply, or
// never answers at all when the reply is empty.
class CannedServer {
 public:
  explicit CannedServer(std::string reply);
  ~CannedServer();
  CannedServer(const CannedServer&) = delete;
  CannedServer& operator=(const CannedServer&) = delete;

  std::string address() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  void run();

  std::string reply_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// A loopback port on which nothing listens.
int ClosedPort();

}  // namespace vandrel::test
