#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace vandrel::directory {

// Client connections wait in one epoll set while they are idle or their
// request head is still arriving; a worker takes one up only when it has
// bytes to read, and serves its request once the whole head is there. Slow
// or idle clients so hold no worker, and no worker waits for a client to
// speak. Also bounds each head in size (431, or 414 for the request line)
// and time (408), and the connections from one address (503 with
// Retry-After).
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
  // Ends the workers, which finish their requests first, and closes every
  // connection; the stopping predicate must hold by then.
  void stop();

 private:
  void work();
  void sweep();
  void handle(Connection* c);
  bool serveOne(Connection* c, std::size_t headEnd, bool ended);
  void reject(Connection* c, int status, const char* extraHeader);
  void beginClose(Connection* c);
  void arm(Connection* c, bool first = false);
  void drop(Connection* c);

  Limits limits_;
  Serve serve_;
  std::function<bool()> stopping_;
  int epoll_ = -1;
  std::mutex mutex_;
  std::unordered_set<Connection*> held_;
  std::map<std::string, std::size_t> perAddress_;
  // Set only once the accepting loop has ended, so nothing arms afterwards
  // but the workers, which stop() waits for.
  std::atomic<bool> stopped_{false};
  std::vector<std::thread> workers_;
  std::thread sweeper_;
};

// Owned by the one worker that took its event up, or else by the epoll set.
struct ConnectionDispatcher::Connection {
  enum class State { Waiting, Closing };
  int fd = -1;
  std::string address;  // counted against its cap when not empty
  std::string buffer;   // bytes read but not yet served
  std::size_t served = 0;
  State state = State::Waiting;
  bool headStarted = false;
  bool peerClosed = false;  // the client sent its last bytes
  // Read by the sweeper, which only ever marks a connection expired and
  // shuts its reading side so that its owner sees it.
  std::atomic<std::chrono::steady_clock::rep> deadline{0};
  std::atomic<bool> busy{false};
  std::atomic<bool> expired{false};
};

}  // namespace vandrel::directory
