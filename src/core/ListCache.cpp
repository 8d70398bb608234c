#include "core/ListCache.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/AtomicFile.h"
#include "core/Gunzip.h"

namespace vandrel {

namespace {

// Header values go one to a line; a value holding a line break is not kept.
bool OneLine(std::string_view value) { return value.find_first_of("\r\n") == std::string_view::npos; }

}  // namespace

std::string ListCache::pathFor(const std::string& address) const {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : address) hash = (hash ^ c) * 1099511628211ull;
  char name[24];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
  return folder_ + "/" + name;
}

std::optional<ListCache::Entry> ListCache::find(const std::string& address) const {
  std::ifstream file(pathFor(address), std::ios::binary);
  std::string url;
  Entry entry;
  if (!std::getline(file, url) || url != address || !std::getline(file, entry.etag) ||
      !std::getline(file, entry.lastModified)) {
    return std::nullopt;
  }
  std::ostringstream body;
  body << file.rdbuf();
  entry.body = std::move(body).str();
  if (entry.etag.empty() && entry.lastModified.empty()) return std::nullopt;
  return entry;
}

void ListCache::store(const std::string& address, const Entry& entry) const {
  if (entry.etag.empty() && entry.lastModified.empty()) return;
  if (!OneLine(address) || !OneLine(entry.etag) || !OneLine(entry.lastModified)) return;
  ::mkdir(folder_.c_str(), 0755);
  // A cache that cannot be written only costs the next fetch its saving.
  ReplaceFileAtomically(pathFor(address), address + "\n" + entry.etag + "\n" + entry.lastModified + "\n" + entry.body,
                        0644);
}

ListFetch::ListFetch(const ListCache* cache, std::string address)
    : cache_(cache), address_(std::move(address)), kept_(cache != nullptr ? cache->find(address_) : std::nullopt) {}

std::vector<std::pair<std::string, std::string>> ListFetch::requestHeaders() const {
  std::vector<std::pair<std::string, std::string>> headers{{"Accept-Encoding", "gzip"}};
  if (kept_ && !kept_->etag.empty()) headers.emplace_back("If-None-Match", kept_->etag);
  if (kept_ && !kept_->lastModified.empty()) headers.emplace_back("If-Modified-Since", kept_->lastModified);
  return headers;
}

std::string ListFetch::Body(int status, std::string_view contentEncoding, std::string etag, std::string lastModified,
                            std::string wireBody, std::size_t maxBytes) const {
  if (status == 304 && kept_) return kept_->body;
  std::string body = contentEncoding == "gzip" || contentEncoding == "x-gzip" ? Gunzip(wireBody, maxBytes)
                                                                              : std::move(wireBody);
  if (status == 200 && cache_ != nullptr) cache_->store(address_, {std::move(etag), std::move(lastModified), body});
  return body;
}

}  // namespace vandrel
