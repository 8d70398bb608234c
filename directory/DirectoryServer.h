#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "directory/BaseAddress.h"
#include "directory/BoundedHttpServer.h"
#include "directory/FileCache.h"
#include "directory/Search.h"
#include "directory/StaticFiles.h"

namespace vandrel::directory {

// The station directory over HTTP: the data folder's files (from memory,
// with validators and gzip), the station search, the website pages and the
// test tone stream.
class DirectoryServer {
 public:
  // dataDir must be an existing folder (std::runtime_error otherwise).
  // Unless quiet, one line per request goes to stderr.
  DirectoryServer(const std::filesystem::path& dataDir, std::string host, int port, bool quiet);
  ~DirectoryServer();
  DirectoryServer(const DirectoryServer&) = delete;
  DirectoryServer& operator=(const DirectoryServer&) = delete;

  // Binds and starts serving in the background; returns the bound port.
  // Throws std::runtime_error when the address cannot be bound.
  int start();
  // Ends streams and connections and waits for them; safe to call twice.
  void stop();

  int port() const { return port_; }

  static constexpr std::size_t kMaxBodyBytes = 64 * 1024;
  // Tone listeners at once; more get 503 with Retry-After.
  static constexpr std::size_t kMaxListeners = 64;

 private:
  httplib::Server::HandlerResponse route(const httplib::Request& req, httplib::Response& res);
  void serveSearch(const httplib::Request& req, httplib::Response& res);
  void serveWebsite(const httplib::Request& req, httplib::Response& res);
  void serveTone(const httplib::Request& req, httplib::Response& res);
  void serveFile(const httplib::Request& req, httplib::Response& res);
  std::string baseFor(const httplib::Request& req) const;
  void log(const httplib::Request& req, int status);

  StaticFiles files_;
  FileCache cache_;
  Search search_;
  std::string host_;
  int requestedPort_;
  bool quiet_;
  int port_ = -1;
  std::optional<BaseAddress> base_;
  BoundedHttpServer http_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> listenEnded_{false};
  std::atomic<std::size_t> listeners_{0};
  std::mutex logMutex_;
};

}  // namespace vandrel::directory
