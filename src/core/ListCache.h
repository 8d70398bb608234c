#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vandrel {

// Lists fetched before, with the validators their server gave, so the next
// fetch can ask "changed since?" and take a 304 instead of the list. One
// file per address in a folder of its own; a damaged or foreign file is
// simply no entry.
class ListCache {
 public:
  struct Entry {
    std::string etag;
    std::string lastModified;
    std::string body;  // as it arrived, unpacked
  };

  explicit ListCache(std::string folder) : folder_(std::move(folder)) {}

  std::optional<Entry> find(const std::string& address) const;
  // Kept only when the server gave a validator to ask with.
  void store(const std::string& address, const Entry& entry) const;

 private:
  std::string pathFor(const std::string& address) const;
  std::string folder_;
};

// One fetch through the cache: what to ask the server, and the whole body
// the caller gets for its answer.
class ListFetch {
 public:
  ListFetch(const ListCache* cache, std::string address);

  // Asks for gzip, and whether a list fetched before is still current.
  std::vector<std::pair<std::string, std::string>> requestHeaders() const;
  // The unpacked body, or the kept one when the server answered 304 Not
  // Modified; keeps a new list with its validators. GunzipError for a
  // broken or oversized gzip body.
  std::string Body(int status, std::string_view contentEncoding, std::string etag, std::string lastModified,
                   std::string wireBody, std::size_t maxBytes) const;

 private:
  const ListCache* cache_;
  std::string address_;
  std::optional<ListCache::Entry> kept_;
};

}  // namespace vandrel
