#include "directory/DirectoryServer.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "directory/ConditionalGet.h"
#include "directory/Gzip.h"
#include "directory/ToneStream.h"
#include "directory/WebsitePages.h"
#include "player/TaggedList.h"

namespace vandrel::directory {

namespace fs = std::filesystem;
using Handled = httplib::Server::HandlerResponse;

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
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 416: return "Range Not Satisfiable";
    case 417: return "Expectation Failed";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Error";
  }
}

void Fail(httplib::Response& res, int status) {
  res.status = status;
  res.set_content(std::to_string(status) + " " + StatusText(status) + "\n", "text/plain; charset=utf-8");
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// httplib decodes what it can and passes the rest through, so a broken or
// "%u"-style escape is refused here rather than half-decoded.
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

bool ClientTakesGzip(const httplib::Request& req) {
  return Gzip::Accepted(req.get_header_value(BoundedHttpServer::kClientEncodings));
}

std::string GzipTag(const std::string& etag) { return etag.substr(0, etag.size() - 1) + "-gz\""; }

// Replies made per request (search, pages) are compressed as they go out.
void CompressIfAsked(const httplib::Request& req, httplib::Response& res) {
  if (res.content_provider_ || res.has_header("Content-Encoding")) return;
  const std::string type = res.get_header_value("Content-Type");
  if (!Gzip::Suits(type)) return;
  if (!res.has_header("Vary")) res.set_header("Vary", "Accept-Encoding");
  // httplib only turns the unset status (-1) into 200 after routing.
  if ((res.status != 200 && res.status != -1) || res.body.size() < Gzip::kMinBytes || !ClientTakesGzip(req)) return;
  res.body = Gzip::Compress(res.body);
  res.set_header("Content-Encoding", "gzip");
}

void PreloadLists(const FileCache& cache, const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() == ".txt" && it->path().filename().string().front() != '.') cache.get(it->path());
  }
}

}  // namespace

DirectoryServer::DirectoryServer(const fs::path& dataDir, std::string host, int port, bool quiet)
    : files_([&] {
        std::error_code ec;
        if (!fs::is_directory(dataDir, ec)) throw std::runtime_error("no such data folder: " + dataDir.string());
        return dataDir;
      }()),
      search_(files_, files_.root() / "radio" / "inter" / "zenders"),
      host_(std::move(host)),
      requestedPort_(port),
      quiet_(quiet) {
  PreloadLists(cache_, files_.root() / "radio" / "inter");
  PreloadLists(cache_, files_.root() / "radio" / "inter" / "zenders");
  http_.set_payload_max_length(kMaxBodyBytes);
  http_.set_read_timeout(10, 0);
  http_.set_write_timeout(10, 0);
  http_.setEndsConnection([](const httplib::Request& req) { return req.path == kTonePath; });
  http_.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    return route(req, res);
  });
  http_.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return Handled::Unhandled;
    Fail(res, res.status);
    return Handled::Handled;
  }));
  http_.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    Fail(res, 500);
  });
  http_.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    // Streams were logged when they started; this runs only when they end.
    if (!res.content_provider_) log(req, res.status);
  });
}

DirectoryServer::~DirectoryServer() { stop(); }

int DirectoryServer::start() {
  if (thread_.joinable()) return port_;
  port_ = http_.bindTo(host_, requestedPort_);
  if (port_ < 0) throw std::runtime_error("cannot listen on " + host_ + ":" + std::to_string(requestedPort_));
  base_.emplace(host_, port_);
  thread_ = std::thread([this] {
    http_.listen_after_bind();
    listenEnded_ = true;
  });
  // stop() is only heard once the accept loop runs.
  const auto giveUp = Clock::now() + std::chrono::seconds(10);
  while (!http_.is_running() && !listenEnded_ && Clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!http_.is_running()) {
    thread_.join();
    throw std::runtime_error("the server did not start");
  }
  return port_;
}

void DirectoryServer::stop() {
  stopping_ = true;
  if (!thread_.joinable()) return;
  http_.stop();
  thread_.join();
  http_.endConnections();
}

std::string DirectoryServer::baseFor(const httplib::Request& req) const {
  return base_->forHost(req.get_header_value("Host"));
}

void DirectoryServer::log(const httplib::Request& req, int status) {
  if (quiet_) return;
  const std::string line = (req.method.empty() ? "-" : Printable(req.method)) + " " +
                           (req.target.empty() ? "-" : Printable(req.target)) + " " + std::to_string(status) + "\n";
  std::lock_guard<std::mutex> lock(logMutex_);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

Handled DirectoryServer::route(const httplib::Request& req, httplib::Response& res) {
  if (req.method != "GET" && req.method != "HEAD") {
    res.set_header("Allow", "GET, HEAD");
    Fail(res, 405);
    return Handled::Handled;
  }
  if (req.has_header("Transfer-Encoding")) {
    Fail(res, 400);
    return Handled::Handled;
  }
  if (req.get_header_value<std::uint64_t>("Content-Length") > kMaxBodyBytes) {
    Fail(res, 413);
    return Handled::Handled;
  }
  if (!HasValidEscapes(req.target)) {
    Fail(res, 400);
    return Handled::Handled;
  }
  if (req.path == kSearchPath) {
    serveSearch(req, res);
  } else if (req.path == kWebsitePath) {
    serveWebsite(req, res);
  } else if (req.path == kTonePath) {
    serveTone(req, res);
  } else {
    serveFile(req, res);
  }
  CompressIfAsked(req, res);
  return Handled::Handled;
}

void DirectoryServer::serveSearch(const httplib::Request& req, httplib::Response& res) {
  if (!req.has_param("zoeken")) return Fail(res, 400);
  const auto hits = search_.find(req.get_param_value("zoeken"));
  res.set_content(Search::Format(hits, baseFor(req)), "text/plain; charset=utf-8");
}

void DirectoryServer::serveWebsite(const httplib::Request& req, httplib::Response& res) {
  const auto page = WebsitePages::Named(req.get_param_value("wat"));
  if (!page) return Fail(res, 400);
  std::vector<std::string> countries;
  if (*page == WebsitePages::Page::Home) {
    const fs::path choices = files_.root() / "radio" / "inter" / "keuze-uk.txt";
    if (files_.contains(choices)) {
      // Past the bound the page shows the countries read so far.
      if (const auto entry = cache_.get(choices)) countries = ParseTaggedListUpTo(entry->body, {"naam"}).lists[0];
    }
  }
  res.set_content(WebsitePages::Render(*page, req.get_param_value("lang"), countries), "text/html; charset=utf-8");
}

void DirectoryServer::serveTone(const httplib::Request& req, httplib::Response& res) {
  // Each listener keeps a worker; the cap leaves the rest to other requests.
  class Listener {
   public:
    explicit Listener(std::atomic<std::size_t>& count) : count_(count) {}
    ~Listener() { --count_; }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

   private:
    std::atomic<std::size_t>& count_;
  };
  if (++listeners_ > kMaxListeners) {
    --listeners_;
    res.set_header("Retry-After", "10");
    return Fail(res, 503);
  }
  auto listener = std::make_shared<Listener>(listeners_);
  std::optional<std::uint64_t> seconds;
  if (req.has_param("seconds")) {
    seconds = ParseSeconds(req.get_param_value("seconds"));
    if (!seconds) return Fail(res, 400);
  }
  const bool icy = httplib::detail::trim_copy(req.get_header_value("Icy-MetaData")) == "1";
  res.set_header("Cache-Control", "no-cache, no-store");
  if (icy) {
    res.set_header("icy-metaint", std::to_string(ToneStream::kMetaInterval));
    res.set_header("icy-name", std::string(ToneStream::kName));
  }
  struct Session {
    ToneStream tone;
    std::shared_ptr<Listener> listener;
    Clock::time_point started = Clock::now();
  };
  auto session = std::make_shared<Session>(Session{ToneStream(icy, seconds), std::move(listener)});
  res.set_content_provider("audio/wav", [this, session](std::size_t, httplib::DataSink& sink) {
    ToneStream& tone = session->tone;
    if (tone.samplesSent() > 0) {
      // One second goes out at once; after that, each stretch waits until
      // the audio already sent, less that second, has had time to play.
      const auto played = std::chrono::microseconds(tone.samplesSent() * 1000000 / ToneStream::kSampleRate);
      const auto due = session->started + played - std::chrono::seconds(1);
      while (Clock::now() < due) {
        if (stopping_) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(due - Clock::now(), std::chrono::milliseconds(50)));
      }
    }
    if (stopping_) return false;
    const std::size_t samples = tone.samplesSent() == 0 ? ToneStream::kSampleRate : ToneStream::kSampleRate / 10;
    const std::string bytes = tone.next(samples);
    if (!bytes.empty() && !sink.write(bytes.data(), bytes.size())) return false;
    if (tone.finished()) sink.done();
    return true;
  });
  log(req, 200);
}

void DirectoryServer::serveFile(const httplib::Request& req, httplib::Response& res) {
  const std::string_view rawPath = std::string_view(req.target).substr(0, req.target.find('?'));
  const auto found = files_.resolve(req.path, rawPath);
  switch (found.outcome) {
    case StaticFiles::Outcome::BadRequest: return Fail(res, 400);
    case StaticFiles::Outcome::NotFound: return Fail(res, 404);
    case StaticFiles::Outcome::AddSlash:
      res.set_redirect(std::string(rawPath) + "/", 301);
      return;
    case StaticFiles::Outcome::Found: break;
  }
  const auto entry = cache_.get(found.file);
  if (!entry) return Fail(res, 404);
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

  res.set_header("ETag", sendGzip ? GzipTag(etag) : etag);
  res.set_header("Last-Modified", ConditionalGet::HttpDate(entry->modified));
  // Clients may keep a copy but must ask (cheaply, by validator) before use.
  res.set_header("Cache-Control", "no-cache");
  if (compressible) res.set_header("Vary", "Accept-Encoding");
  if (ConditionalGet::NotModified(req.get_header_value("If-None-Match"), req.get_header_value("If-Modified-Since"),
                                  {etag, GzipTag(etag)}, entry->modified)) {
    res.status = 304;
    return;
  }
  if (sendGzip) {
    res.set_header("Content-Encoding", "gzip");
    res.set_content(gzBody, type);
  } else {
    res.set_content(body, type);
  }
}

}  // namespace vandrel::directory
