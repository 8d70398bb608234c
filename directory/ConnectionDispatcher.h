#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

namespace vandrel::directory {

// Holds every client connection while it is idle or its request head is
// still arriving, all in one epoll thread, and hands it to a worker only
// once a whole head has come. Slow or idle clients so hold no worker, and a
// worker never waits for a client to speak. Also bounds each head in size
// (431, or 414 for the request line) and time (408), and the connections
// from one address (503 with Retry-After).
class ConnectionDispatcher {
 public:
  struct Limits {
    std::size_t maxHeadBytes = 64 * 1024;
    std::chrono::milliseconds headDeadline{3000};
    // Idle keep-alive connections close only after this, which must lie
    // past the time announced to the client, so no request crosses a close.
    std::chrono::milliseconds keepAliveIdle{6000};
    std::size_t perAddress = 128;
    std::size_t workers = 256;
  };

  struct Connection;

  // Runs on a worker with one whole request head; returns true to keep the
  // connection open for the next request.
  using Serve = std::function<bool(Connection& connection, std::string head)>;

  ConnectionDispatcher(Limits limits, Serve serve, std::function<bool()> stopping);
  ~ConnectionDispatcher();
  ConnectionDispatcher(const ConnectionDispatcher&) = delete;
  ConnectionDispatcher& operator=(const ConnectionDispatcher&) = delete;

  // Takes over a newly accepted socket.
  void add(int fd);
  // Ends the thread and the workers and closes every connection; the
  // stopping predicate must hold by then.
  void stop();

 private:
  void run();
  void watch(Connection* c);
  void dispatch(Connection* c);
  void examine(Connection* c);
  void decide(Connection* c, bool ended);
  void reject(Connection* c, int status, const char* extraHeader);
  void beginClose(Connection* c);
  void drop(Connection* c);
  void sweep();

  Limits limits_;
  Serve serve_;
  std::function<bool()> stopping_;
  int epoll_ = -1;
  std::mutex mutex_;
  std::unordered_set<Connection*> held_;  // in the epoll set
  std::map<std::string, std::size_t> perAddress_;
  bool stopped_ = false;
  std::unique_ptr<httplib::ThreadPool> workers_;
  std::thread thread_;
};

struct ConnectionDispatcher::Connection {
  enum class State { Waiting, Closing };
  int fd = -1;
  std::string address;
  std::string buffer;  // bytes read but not yet served
  std::size_t served = 0;
  State state = State::Waiting;
  std::chrono::steady_clock::time_point deadline;
  bool headStarted = false;
  bool peerClosed = false;  // the client sent its last bytes
};

}  // namespace vandrel::directory
