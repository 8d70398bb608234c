#pragma once

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "directory/BaseAddress.h"
#include "directory/FileCache.h"
#include "directory/HttpServer.h"
#include "directory/Search.h"
#include "directory/StaticFiles.h"

namespace vandrel::directory {

// The station directory over HTTP: the data folder's files (from memory,
// with validators and gzip), the station search, the website pages and the
// test tone stream.
class DirectoryServer {
 public:
  // dataDir must be an existing folder (std::runtime_error otherwise).
  // Unless quiet, one line per request goes to stderr; what is wrong with
  // the data goes there always. Requests from a trusted proxy are counted
  // as its client's.
  DirectoryServer(const std::filesystem::path& dataDir, std::string host, int port, bool quiet,
                  std::vector<std::string> trustedProxies = {});
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
  // Tone listeners at once, and from one client address; more get 503
  // with Retry-After.
  static constexpr std::size_t kMaxListeners = 64;
  static constexpr std::size_t kMaxListenersPerAddress = 16;

 private:
  HttpReply route(const HttpRequest& req);
  void serveSearch(const HttpRequest& req, HttpReply& res);
  void serveWebsite(const HttpRequest& req, HttpReply& res);
  void serveTone(const HttpRequest& req, HttpReply& res);
  void serveFile(const HttpRequest& req, HttpReply& res);
  std::string baseFor(const HttpRequest& req) const;
  void log(const HttpRequest& req, int status);
  void warn(const std::string& text);

  StaticFiles files_;
  FileCache cache_;
  Search search_;
  std::string host_;
  int requestedPort_;
  bool quiet_;
  int port_ = -1;
  std::optional<BaseAddress> base_;
  std::mutex listenersMutex_;
  std::size_t listeners_ = 0;
  std::map<std::string, std::size_t> listenersFrom_;
  std::mutex logMutex_;
  HttpServer http_;  // last: it stops before what its handlers use goes
};

}  // namespace vandrel::directory
