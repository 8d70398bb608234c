#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;

namespace vandrel::directory {

using Fields = std::vector<std::pair<std::string, std::string>>;

// One request head as the handlers see it.
struct HttpRequest {
  std::string method;
  std::string target;  // as it stood in the request line
  std::string path;    // the target's path, percent-decoded
  std::string clientAddress;  // the peer, or whom a trusted proxy named
  Fields headers;
  Fields params;  // of the query, decoded ('+' is a blank)

  bool hasHeader(std::string_view name) const;
  // Every value of the header, joined by ", "; "" when it is absent.
  std::string header(std::string_view name) const;
  bool hasParam(std::string_view name) const;
  std::string param(std::string_view name) const;  // the first value
};

// A body that is made as it goes out, at its own pace.
class HttpStream {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~HttpStream() = default;
  // When the next piece may go; the connection sleeps until then.
  virtual Clock::time_point due() const = 0;
  // The next piece; empty at the end.
  virtual std::string next() = 0;
};

struct HttpReply {
  int status = 200;
  Fields headers;
  std::string body;
  std::shared_ptr<const std::string> shared;  // when set, the body, sent without a copy
  std::shared_ptr<HttpStream> stream;         // when set, the body; the connection ends with it

  void setHeader(std::string name, std::string value);
  bool hasHeader(std::string_view name) const;
  std::string header(std::string_view name) const;
  void setContent(std::string content, std::string type);
};

// HTTP/1.1 on GNU libmicrohttpd: a few epoll threads hold every connection,
// sleeping until the next event or time-out. On top of it: a connection whose
// first request head has not yet come counts against its address's limit
// (beyond it, 503 with Retry-After at once); a trusted proxy names its
// client; and at the open-file limit new clients wait in the backlog until a
// descriptor is free.
class HttpServer {
 public:
  struct Limits {
    std::size_t maxHeadBytes = 64 * 1024;
    std::size_t maxLineBytes = 8 * 1024;
    std::chrono::seconds headTimeout{3};
    std::chrono::seconds keepAliveIdle{5};  // announced; the close comes a second later
    std::size_t unfinishedPerAddress = 512;
    unsigned threads = 0;  // 0: two per core
  };
  using Handler = std::function<HttpReply(const HttpRequest&)>;
  using Log = std::function<void(const std::string&)>;

  HttpServer(Limits limits, std::vector<std::string> trustedProxies, Handler handler, Log warn);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds and serves in the background; port 0 picks a free one. Returns
  // the port; throws std::runtime_error when it cannot.
  int listen(const std::string& host, int port);
  // Ends streams and connections; safe to call twice.
  void stop();

  // The client a request came from: the peer, or for a trusted proxy the
  // last address of X-Forwarded-For (else X-Real-IP) when it is one.
  std::string clientOf(const std::string& peer, const HttpRequest& request) const;

  struct ConnectionState;

 private:
  friend struct HttpCallbacks;
  void acceptLoop();
  void wake(ConnectionState* state, HttpStream::Clock::time_point due);
  void pace();

  Limits limits_;
  std::vector<std::string> trusted_;
  Handler handler_;
  Log warn_;
  MHD_Daemon* daemon_ = nullptr;
  int listenFd_ = -1;
  std::thread acceptor_;

  std::mutex mutex_;
  std::condition_variable descriptorFreed_;
  std::size_t closedConnections_ = 0;
  std::map<std::string, std::size_t> unfinished_;
  bool stopping_ = false;

  // Streams asleep until their next piece is due, nearest first; the pacer
  // starts with the first of them.
  std::mutex paceMutex_;
  std::multimap<HttpStream::Clock::time_point, MHD_Connection*> sleeping_;
  std::size_t asleep_ = 0;  // suspended and not yet run again
  bool paceStopped_ = false;
  std::condition_variable paceChanged_;
  std::thread pacer_;
};

}  // namespace vandrel::directory
