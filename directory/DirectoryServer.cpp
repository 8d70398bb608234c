#include "directory/DirectoryServer.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "core/TaggedList.h"
#include "directory/ConditionalGet.h"
#include "directory/DirectoryImport.h"
#include "directory/Gzip.h"
#include "directory/HeaderValue.h"
#include "directory/ToneStream.h"
#include "directory/WebsitePages.h"

namespace vandrel::directory {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSearchPath = "/radio/inter/zenders/radio-lijst-zoek.php";
constexpr const char* kWebsitePath = "/radio/inter/website/index.php";
constexpr const char* kTonePath = "/stream/tone";
constexpr std::uint64_t kMaxToneSeconds = 24 * 3600;

const char* StatusText(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Error";
  }
}

void Fail(HttpReply& res, int status) {
  res.status = status;
  res.setContent(std::to_string(status) + " " + StatusText(status) + "\n", "text/plain; charset=utf-8");
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A broken or "%u"-style escape is refused here rather than half-decoded.
bool HasValidEscapes(std::string_view target) {
  for (std::size_t i = 0; i < target.size(); ++i) {
    if (target[i] != '%') continue;
    if (i + 2 >= target.size() || !IsHex(target[i + 1]) || !IsHex(target[i + 2])) return false;
    i += 2;
  }
  return true;
}

// Keeps the log one line per request whatever bytes the target holds.
std::string Printable(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::optional<std::uint64_t> ParseSeconds(const std::string& text) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const std::uint64_t value = std::stoull(text);
  if (value == 0 || value > kMaxToneSeconds) return std::nullopt;
  return value;
}

bool ClientTakesGzip(const HttpRequest& req) { return Gzip::Accepted(req.header("Accept-Encoding")); }

std::string GzipTag(const std::string& etag) { return etag.substr(0, etag.size() - 1) + "-gz\""; }

// Replies made per request (search, pages) are compressed as they go out.
void CompressIfAsked(const HttpRequest& req, HttpReply& res) {
  if (res.stream || res.shared || res.hasHeader("Content-Encoding")) return;
  if (!Gzip::Suits(res.header("Content-Type"))) return;
  if (!res.hasHeader("Vary")) res.setHeader("Vary", "Accept-Encoding");
  if (res.status != 200 || res.body.size() < Gzip::kMinBytes || !ClientTakesGzip(req)) return;
  res.body = Gzip::Compress(res.body);
  res.setHeader("Content-Encoding", "gzip");
}

// Read access as the server has it; errno tells why not.
bool Readable(const fs::path& path, bool folder) { return ::access(path.c_str(), folder ? R_OK | X_OK : R_OK) == 0; }

std::string Why() { return std::strerror(errno); }

// Loads the lists of one folder; returns what could not be read, and why.
std::vector<std::string> PreloadLists(const FileCache& cache, const fs::path& folder) {
  std::vector<std::string> problems;
  std::error_code ec;
  if (!fs::exists(folder, ec)) return problems;
  if (!Readable(folder, true)) return {"cannot read folder " + folder.string() + ": " + Why()};
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() != ".txt" || it->path().filename().string().front() == '.') continue;
    if (!Readable(it->path(), false)) {
      problems.push_back("cannot read list " + it->path().string() + ": " + Why());
    } else if (!cache.get(it->path())) {
      problems.push_back("cannot load list " + it->path().string() + " (too large or changing)");
    }
  }
  if (ec) problems.push_back("cannot list folder " + folder.string() + ": " + ec.message());
  return problems;
}

}  // namespace

DirectoryServer::DirectoryServer(const fs::path& dataDir, std::string host, int port, bool quiet,
                                 std::vector<std::string> trustedProxies)
    : files_([&] {
        std::error_code ec;
        if (!fs::is_directory(dataDir, ec)) throw std::runtime_error("no such data folder: " + dataDir.string());
        return dataDir;
      }()),
      search_(files_, files_.root() / "radio" / "inter" / "zenders"),
      host_(std::move(host)),
      requestedPort_(port),
      quiet_(quiet),
      http_(HttpServer::Limits{}, std::move(trustedProxies), [this](const HttpRequest& req) { return route(req); },
            [this](const std::string& text) { warn(text); }) {
  // Said at start, since a server with unreadable data would otherwise
  // look healthy and answer every list with an error.
  if (!Readable(files_.root(), true)) warn("cannot read the data folder " + files_.root().string() + ": " + Why());
  for (const fs::path& folder : {files_.root() / "radio" / "inter", files_.root() / "radio" / "inter" / "zenders"}) {
    for (const std::string& problem : PreloadLists(cache_, folder)) warn(problem);
  }
  const fs::path index = files_.root() / DirectoryImport::kIndexFile;
  std::error_code ec;
  if (fs::exists(index, ec) && !Readable(index, false)) {
    warn("cannot read the search index " + index.string() + ": " + Why());
  }
  if (search_.size() == 0) warn("the search index is empty: every search will find nothing");
}

DirectoryServer::~DirectoryServer() { stop(); }

int DirectoryServer::start() {
  if (port_ >= 0) return port_;
  port_ = http_.listen(host_, requestedPort_);
  base_.emplace(host_, port_);
  return port_;
}

void DirectoryServer::stop() { http_.stop(); }

std::string DirectoryServer::baseFor(const HttpRequest& req) const { return base_->forHost(req.header("Host")); }

void DirectoryServer::log(const HttpRequest& req, int status) {
  if (quiet_) return;
  const std::string line = req.clientAddress + " " + (req.method.empty() ? "-" : Printable(req.method)) + " " +
                           (req.target.empty() ? "-" : Printable(req.target)) + " " + std::to_string(status) + "\n";
  std::lock_guard<std::mutex> lock(logMutex_);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

void DirectoryServer::warn(const std::string& text) {
  std::lock_guard<std::mutex> lock(logMutex_);
  std::fprintf(stderr, "vandrel-directory: warning: %s\n", Printable(text).c_str());
  std::fflush(stderr);
}

HttpReply DirectoryServer::route(const HttpRequest& req) {
  HttpReply res;
  const std::string length = req.header("Content-Length");
  if (req.method != "GET" && req.method != "HEAD") {
    res.setHeader("Allow", "GET, HEAD");
    Fail(res, 405);
  } else if (req.hasHeader("Transfer-Encoding") || !HasValidEscapes(req.target)) {
    Fail(res, 400);
  } else if (!length.empty() && (length.size() > 18 || std::strtoull(length.c_str(), nullptr, 10) > kMaxBodyBytes)) {
    Fail(res, 413);
  } else if (req.path == kSearchPath) {
    serveSearch(req, res);
  } else if (req.path == kWebsitePath) {
    serveWebsite(req, res);
  } else if (req.path == kTonePath) {
    serveTone(req, res);
  } else {
    serveFile(req, res);
  }
  CompressIfAsked(req, res);
  // An unread body must not be taken for the next request.
  if (!length.empty() && length.find_first_not_of('0') != std::string::npos) res.setHeader("Connection", "close");
  if (!res.stream) {
    if (!res.hasHeader("Connection")) res.setHeader("Keep-Alive", "timeout=5");
    log(req, res.status);
  }
  return res;
}

void DirectoryServer::serveSearch(const HttpRequest& req, HttpReply& res) {
  if (!req.hasParam("zoeken")) return Fail(res, 400);
  const auto hits = search_.find(req.param("zoeken"));
  res.setContent(Search::Format(hits, baseFor(req)), "text/plain; charset=utf-8");
}

void DirectoryServer::serveWebsite(const HttpRequest& req, HttpReply& res) {
  const auto page = WebsitePages::Named(req.param("wat"));
  if (!page) return Fail(res, 400);
  std::vector<std::string> countries;
  if (*page == WebsitePages::Page::Home) {
    const fs::path choices = files_.root() / "radio" / "inter" / "keuze-uk.txt";
    if (files_.contains(choices)) {
      // Past the bound the page shows the countries read so far.
      if (const auto entry = cache_.get(choices)) countries = ParseTaggedListUpTo(entry->body, {"naam"}).lists[0];
    }
  }
  res.setContent(WebsitePages::Render(*page, req.param("lang"), countries), "text/html; charset=utf-8");
}

void DirectoryServer::serveTone(const HttpRequest& req, HttpReply& res) {
  std::optional<std::uint64_t> seconds;
  if (req.hasParam("seconds")) {
    seconds = ParseSeconds(req.param("seconds"));
    if (!seconds) return Fail(res, 400);
  }
  // Each listener holds a connection for as long as it likes, so they are
  // bounded in all and per client.
  struct Listener {
    DirectoryServer& server;
    std::string address;
    ~Listener() {
      std::lock_guard<std::mutex> lock(server.listenersMutex_);
      --server.listeners_;
      if (--server.listenersFrom_[address] == 0) server.listenersFrom_.erase(address);
    }
  };
  {
    std::lock_guard<std::mutex> lock(listenersMutex_);
    const auto from = listenersFrom_.find(req.clientAddress);
    if (listeners_ >= kMaxListeners || (from != listenersFrom_.end() && from->second >= kMaxListenersPerAddress)) {
      res.setHeader("Retry-After", "10");
      return Fail(res, 503);
    }
    ++listeners_;
    ++listenersFrom_[req.clientAddress];
  }
  std::unique_ptr<Listener> listener(new Listener{*this, req.clientAddress});
  const bool icy = TrimHeaderValue(req.header("Icy-MetaData")) == "1";
  res.setHeader("Content-Type", "audio/wav");
  res.setHeader("Cache-Control", "no-cache, no-store");
  res.setHeader("Connection", "close");
  if (icy) {
    res.setHeader("icy-metaint", std::to_string(ToneStream::kMetaInterval));
    res.setHeader("icy-name", std::string(ToneStream::kName));
  }
  // Two seconds go out at once (ffmpeg's WAV reader wants 64 KiB before the
  // first sound, one second is 43 KiB); after that, each stretch waits until
  // the audio already sent, less those seconds, has had time to play.
  static constexpr int kBurstSeconds = 2;
  static_assert(kBurstSeconds * ToneStream::kBytesPerSecond > 65536 + ToneStream::kHeaderBytes);
  class Session final : public HttpStream {
   public:
    Session(ToneStream tone, std::unique_ptr<Listener> listener)
        : tone_(std::move(tone)), listener_(std::move(listener)) {}
    Clock::time_point due() const override {
      if (tone_.samplesSent() == 0) return started_;
      return started_ + std::chrono::microseconds(tone_.samplesSent() * 1000000 / ToneStream::kSampleRate) -
             std::chrono::seconds(kBurstSeconds);
    }
    std::string next() override {
      if (tone_.finished()) return {};
      return tone_.next(tone_.samplesSent() == 0 ? kBurstSeconds * ToneStream::kSampleRate
                                                 : ToneStream::kSampleRate / 10);
    }

   private:
    ToneStream tone_;
    std::unique_ptr<Listener> listener_;
    Clock::time_point started_ = Clock::now();
  };
  res.stream = std::make_shared<Session>(ToneStream(icy, seconds), std::move(listener));
  log(req, 200);
}

void DirectoryServer::serveFile(const HttpRequest& req, HttpReply& res) {
  const std::string_view rawPath = std::string_view(req.target).substr(0, req.target.find('?'));
  const auto found = files_.resolve(req.path, rawPath);
  switch (found.outcome) {
    case StaticFiles::Outcome::BadRequest: return Fail(res, 400);
    case StaticFiles::Outcome::NotFound:
      if (req.path != "/") return Fail(res, 404);
      // The player's homepage link leads to the directory's root before a
      // station is chosen: an empty root shows the directory's own site.
      res.status = 302;
      res.setHeader("Location", std::string(kWebsitePath) + "?wat=home");
      return;
    case StaticFiles::Outcome::AddSlash:
      res.status = 301;
      res.setHeader("Location", std::string(rawPath) + "/");
      return;
    case StaticFiles::Outcome::Found: break;
  }
  const auto entry = cache_.get(found.file);
  // It is there: a file that cannot be read is the server's fault, not a missing one.
  if (!entry) return Fail(res, Readable(found.file, false) || errno != EACCES ? 500 : 403);
  const std::string type = StaticFiles::ContentTypeFor(found.file);
  const bool compressible = Gzip::Suits(type);
  const bool gzip = compressible && ClientTakesGzip(req);

  // Lists that point back at this server differ per Host, so they are made
  // per request; everything else goes out as it was loaded.
  std::string filled;
  const bool fill = found.file.extension() == ".txt" && entry->hasPlaceholder;
  if (fill) filled = BaseAddress::Substitute(entry->body, baseFor(req));
  const std::string& body = fill ? filled : entry->body;
  const std::string etag = fill ? FileCache::ETagFor(body) : entry->etag;
  const std::string zipped = fill && gzip && body.size() >= Gzip::kMinBytes ? Gzip::Compress(body) : std::string();
  const std::string& gzBody = fill ? zipped : entry->gzipped;
  const bool sendGzip = gzip && !gzBody.empty();

  res.setHeader("ETag", sendGzip ? GzipTag(etag) : etag);
  res.setHeader("Last-Modified", ConditionalGet::HttpDate(entry->modified));
  // Clients may keep a copy but must ask (cheaply, by validator) before use.
  res.setHeader("Cache-Control", "no-cache");
  if (compressible) res.setHeader("Vary", "Accept-Encoding");
  if (ConditionalGet::NotModified(req.header("If-None-Match"), req.header("If-Modified-Since"),
                                  {etag, GzipTag(etag)}, entry->modified)) {
    res.status = 304;
    return;
  }
  res.setHeader("Content-Type", type);
  if (sendGzip) res.setHeader("Content-Encoding", "gzip");
  const std::string& sent = sendGzip ? gzBody : body;
  // What the cache holds goes out as it lies there.
  if (fill) {
    res.body = sent;
  } else {
    res.shared = std::shared_ptr<const std::string>(entry, &sent);
  }
}

}  // namespace vandrel::directory
