#include "directory/HttpServer.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "directory/HttpFields.h"

namespace vandrel::directory {

namespace {

using Clock = HttpStream::Clock;

// Small enough for any socket buffer; sent before MHD ever sees the socket.
void Refuse(int fd) {
  static constexpr char kReply[] =
      "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 24\r\n"
      "Retry-After: 5\r\nConnection: close\r\n\r\n503 Service Unavailable\n";
  (void)::send(fd, kReply, sizeof kReply - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
  // What the client sent already would otherwise turn the close into a reset.
  char sink[4096];
  for (int i = 0; i < 4 && ::recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0; ++i) {
  }
  ::shutdown(fd, SHUT_WR);
  ::close(fd);
}

struct RequestState {
  std::string target;
  bool headSeen = false;
  bool answered = false;
};

bool CarriesBody(MHD_Connection* connection) {
  if (MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Transfer-Encoding")) return true;
  const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length");
  return length && std::string_view(length).find_first_not_of('0') != std::string_view::npos;
}

}  // namespace

struct HttpServer::ConnectionState {
  std::string peer;
  bool unfinished = true;  // counted against its address until its first head
};

// A streamed body on its connection.
struct StreamBody {
  HttpServer* server;
  MHD_Connection* connection;
  std::shared_ptr<HttpStream> stream;
  std::string pending;
  bool asleep = false;
};

struct HttpCallbacks {
  static void* OnUri(void*, const char* uri, MHD_Connection*) { return new RequestState{uri ? uri : ""}; }

  static void OnCompleted(void*, MHD_Connection*, void** requestContext, MHD_RequestTerminationCode) {
    delete static_cast<RequestState*>(*requestContext);
    *requestContext = nullptr;
  }

  static void OnConnection(void* cls, MHD_Connection* connection, void** socketContext,
                           MHD_ConnectionNotificationCode code) {
    auto* server = static_cast<HttpServer*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
      // The acceptor counted it already.
      *socketContext = new HttpServer::ConnectionState{AddressText(info ? info->client_addr : nullptr), true};
      return;
    }
    auto* state = static_cast<HttpServer::ConnectionState*>(*socketContext);
    {
      std::lock_guard<std::mutex> lock(server->mutex_);
      if (state) finish(*server, *state);
      ++server->closedConnections_;
    }
    server->descriptorFreed_.notify_all();
    delete state;
    *socketContext = nullptr;
  }

  // Under the server's mutex.
  static void finish(HttpServer& server, HttpServer::ConnectionState& state) {
    if (!state.unfinished) return;
    state.unfinished = false;
    const auto it = server.unfinished_.find(state.peer);
    if (it != server.unfinished_.end() && --it->second == 0) server.unfinished_.erase(it);
  }

  static MHD_Result CollectField(void* cls, MHD_ValueKind, const char* key, const char* value) {
    static_cast<Fields*>(cls)->emplace_back(key ? key : "", value ? value : "");
    return MHD_YES;
  }

  static MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char*, const char* method, const char*,
                              const char*, std::size_t* uploadSize, void** requestContext) {
    auto* server = static_cast<HttpServer*>(cls);
    auto* request = static_cast<RequestState*>(*requestContext);
    if (request == nullptr) return MHD_NO;
    if (request->answered) {
      *uploadSize = 0;  // a body nobody asked for
      return MHD_YES;
    }
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    auto* state = info ? static_cast<HttpServer::ConnectionState*>(info->socket_context) : nullptr;
    if (!request->headSeen) {
      request->headSeen = true;
      if (state && state->unfinished) {
        std::lock_guard<std::mutex> lock(server->mutex_);
        finish(*server, *state);
      }
      // From now on the idle time between requests, a second past the one announced.
      MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT,
                                static_cast<unsigned>(server->limits_.keepAliveIdle.count() + 1));
      // A reply queued before the request is whole closes the connection:
      // right for a body that is never read, wrong for keep-alive.
      if (!CarriesBody(connection)) return MHD_YES;
    }
    request->answered = true;
    // A client that half-closed with its request sent the end in the same
    // segment, and the library's edge-triggered epoll sees no later edge;
    // shutting our reading side makes one, so it closes after the reply
    // instead of at the idle time-out.
    if (const MHD_ConnectionInfo* fd = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)) {
      char byte = 0;
      if (::recv(fd->connect_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0) ::shutdown(fd->connect_fd, SHUT_RD);
    }

    HttpRequest req;
    req.method = method ? method : "";
    req.target = request->target;
    const std::size_t query = req.target.find('?');
    req.path = Decode(std::string_view(req.target).substr(0, query), false);
    if (query != std::string::npos) req.params = ParseQuery(std::string_view(req.target).substr(query + 1));
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &CollectField, &req.headers);
    req.clientAddress = server->clientOf(state ? state->peer : std::string(), req);

    HttpReply reply;
    if (req.target.size() + req.method.size() + 10 > server->limits_.maxLineBytes) {
      reply.status = 414;
    } else if (std::any_of(req.headers.begin(), req.headers.end(), [&](const auto& field) {
                 return field.first.size() + field.second.size() + 4 > server->limits_.maxLineBytes;
               })) {
      reply.status = 431;
    }
    if (reply.status != 200) {
      reply.setContent(std::to_string(reply.status) + (reply.status == 414 ? " URI Too Long\n"
                                                                           : " Request Header Fields Too Large\n"),
                       "text/plain; charset=utf-8");
      reply.setHeader("Connection", "close");
    } else {
      reply = server->handler_(req);
    }
    return queue(*server, connection, std::move(reply));
  }

  static MHD_Result queue(HttpServer& server, MHD_Connection* connection, HttpReply reply) {
    MHD_Response* response = nullptr;
    if (reply.stream) {
      auto* body = new StreamBody{&server, connection, std::move(reply.stream), {}, false};
      response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 32 * 1024, &ReadStream, body, &FreeStream);
      // Plain bytes until the close: what players of radio streams expect.
      if (response) MHD_set_response_options(response, MHD_RF_HTTP_1_0_COMPATIBLE_STRICT, MHD_RO_END);
    } else {
      // The library reads the bytes until the reply is sent; this keeps them.
      using Kept = std::shared_ptr<const std::string>;
      auto* kept = new Kept(reply.shared ? std::move(reply.shared)
                                         : std::make_shared<const std::string>(std::move(reply.body)));
      response = MHD_create_response_from_buffer_with_free_callback_cls(
          (*kept)->size(), const_cast<char*>((*kept)->data()), [](void* p) { delete static_cast<Kept*>(p); }, kept);
      if (!response) delete kept;
    }
    if (!response) return MHD_NO;
    for (const auto& [name, value] : reply.headers) MHD_add_response_header(response, name.c_str(), value.c_str());
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
    MHD_destroy_response(response);
    return queued;
  }

  static ssize_t ReadStream(void* cls, std::uint64_t, char* buffer, std::size_t max) {
    auto* body = static_cast<StreamBody*>(cls);
    HttpServer& server = *body->server;
    if (body->pending.empty()) {
      std::unique_lock<std::mutex> lock(server.paceMutex_);
      if (body->asleep) {
        body->asleep = false;
        --server.asleep_;
        server.paceChanged_.notify_all();
      }
      if (server.paceStopped_) return MHD_CONTENT_READER_END_WITH_ERROR;
      const Clock::time_point due = body->stream->due();
      if (due > Clock::now()) {
        // Asleep until the pacer wakes it: no thread waits for a listener.
        body->asleep = true;
        ++server.asleep_;
        server.sleeping_.emplace(due, body->connection);
        MHD_suspend_connection(body->connection);
        if (!server.pacer_.joinable()) server.pacer_ = std::thread([&server] { server.pace(); });
        server.paceChanged_.notify_all();
        return 0;
      }
      lock.unlock();
      body->pending = body->stream->next();
      if (body->pending.empty()) return MHD_CONTENT_READER_END_OF_STREAM;
    }
    const std::size_t n = std::min(max, body->pending.size());
    std::memcpy(buffer, body->pending.data(), n);
    body->pending.erase(0, n);
    return static_cast<ssize_t>(n);
  }

  static void FreeStream(void* cls) {
    auto* body = static_cast<StreamBody*>(cls);
    {
      std::lock_guard<std::mutex> lock(body->server->paceMutex_);
      if (body->asleep) --body->server->asleep_;
    }
    body->server->paceChanged_.notify_all();
    delete body;
  }
};

HttpServer::HttpServer(Limits limits, std::vector<std::string> trustedProxies, Handler handler, Log warn)
    : limits_(limits), handler_(std::move(handler)), warn_(std::move(warn)) {
  for (const std::string& proxy : trustedProxies) {
    const std::string normal = NormalAddress(proxy);
    if (normal.empty()) throw std::runtime_error("not an IP address: " + proxy);
    trusted_.push_back(normal);
  }
}

HttpServer::~HttpServer() { stop(); }

int HttpServer::listen(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
    throw std::runtime_error("cannot resolve " + host);
  }
  for (addrinfo* a = found; a != nullptr && listenFd_ < 0; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    // No SO_REUSEPORT: a second server must not silently share a taken port.
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 1024) == 0) {
      listenFd_ = fd;
    } else {
      ::close(fd);
    }
  }
  ::freeaddrinfo(found);
  if (listenFd_ < 0) throw std::runtime_error("cannot listen on " + host + ":" + service);
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &length);
  const int boundPort = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                                          : reinterpret_cast<sockaddr_in&>(bound).sin_port);

  rlimit files{};
  ::getrlimit(RLIMIT_NOFILE, &files);
  // The open-file limit bounds connections first: at it the acceptor waits,
  // whereas the library's own limit would close new clients unanswered.
  const auto connections = static_cast<unsigned>(std::clamp<rlim_t>(files.rlim_cur, 16, 1 << 20));
  // Two per core, so that a long search holds up only a part of the clients.
  const unsigned threads = limits_.threads ? limits_.threads : 2 * std::max(1u, std::thread::hardware_concurrency());
  daemon_ = MHD_start_daemon(
      MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_NO_LISTEN_SOCKET | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr, nullptr,
      &HttpCallbacks::OnRequest, this, MHD_OPTION_THREAD_POOL_SIZE, threads, MHD_OPTION_CONNECTION_TIMEOUT,
      static_cast<unsigned>(limits_.headTimeout.count()), MHD_OPTION_CONNECTION_LIMIT, connections,
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<std::size_t>(limits_.maxHeadBytes + 16 * 1024),
      MHD_OPTION_NOTIFY_CONNECTION, &HttpCallbacks::OnConnection, this, MHD_OPTION_URI_LOG_CALLBACK,
      &HttpCallbacks::OnUri, this, MHD_OPTION_NOTIFY_COMPLETED, &HttpCallbacks::OnCompleted, this, MHD_OPTION_END);
  if (daemon_ == nullptr) {
    ::close(listenFd_);
    listenFd_ = -1;
    throw std::runtime_error("cannot start the HTTP engine");
  }
  acceptor_ = std::thread([this] { acceptLoop(); });
  return boundPort;
}

void HttpServer::acceptLoop() {
  // Said once a minute at most: a server at its limit goes in and out of it.
  std::optional<Clock::time_point> warned;
  for (;;) {
    sockaddr_storage addr{};
    socklen_t length = sizeof addr;
    const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&addr), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
      if (errno != EMFILE && errno != ENFILE && errno != ENOBUFS && errno != ENOMEM) return;  // shut down
      // New clients wait in the backlog; those connected go on being served.
      std::unique_lock<std::mutex> lock(mutex_);
      if (!warned || Clock::now() - *warned > std::chrono::minutes(1)) {
        warned = Clock::now();
        warn_("out of file descriptors (" + std::string(std::strerror(errno)) +
              "): new connections wait until one closes");
      }
      const std::size_t closed = closedConnections_;
      descriptorFreed_.wait_for(lock, std::chrono::seconds(1),
                                [&] { return stopping_ || closedConnections_ != closed; });
      if (stopping_) return;
      continue;
    }
    const std::string peer = AddressText(reinterpret_cast<const sockaddr*>(&addr));
    bool full = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) {
        ::close(fd);
        return;
      }
      if (std::find(trusted_.begin(), trusted_.end(), peer) == trusted_.end()) {
        std::size_t& count = unfinished_[peer];
        full = count >= limits_.unfinishedPerAddress;
        if (!full) ++count;
      }
    }
    if (full) {
      Refuse(fd);
      continue;
    }
    if (MHD_add_connection(daemon_, fd, reinterpret_cast<sockaddr*>(&addr), length) != MHD_YES) {
      // The library closed it; its count goes with it.
      std::lock_guard<std::mutex> lock(mutex_);
      HttpServer::ConnectionState state{peer, true};
      HttpCallbacks::finish(*this, state);
    }
  }
}

void HttpServer::pace() {
  std::unique_lock<std::mutex> lock(paceMutex_);
  while (!paceStopped_) {
    if (sleeping_.empty()) {
      paceChanged_.wait(lock);
      continue;
    }
    const Clock::time_point due = sleeping_.begin()->first;
    if (Clock::now() < due) {
      paceChanged_.wait_until(lock, due);
      continue;
    }
    while (!sleeping_.empty() && sleeping_.begin()->first <= Clock::now()) {
      MHD_resume_connection(sleeping_.begin()->second);
      sleeping_.erase(sleeping_.begin());
    }
  }
}

void HttpServer::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  descriptorFreed_.notify_all();
  if (listenFd_ >= 0) ::shutdown(listenFd_, SHUT_RDWR);
  if (acceptor_.joinable()) acceptor_.join();
  {
    // Streams asleep wake to end; the library must not stop while any sleeps.
    std::unique_lock<std::mutex> lock(paceMutex_);
    paceStopped_ = true;
    for (const auto& [due, connection] : sleeping_) MHD_resume_connection(connection);
    sleeping_.clear();
    paceChanged_.notify_all();
    paceChanged_.wait_for(lock, std::chrono::seconds(5), [this] { return asleep_ == 0; });
  }
  if (pacer_.joinable()) pacer_.join();
  if (daemon_) MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
}

}  // namespace vandrel::directory
