#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "directory/StaticFiles.h"

namespace vandrel::directory {

struct StationHit {
  std::string name;
  std::string url;
};

// Station search over an index held in memory, built once at start: from
// the import's search index when the data folder has one (names and tags),
// otherwise from every list file (*.txt) of one folder (names only).
class Search {
 public:
  static constexpr std::size_t kMaxHits = 200;

  // listsFolder lies inside files' root; files keeps lookups inside it.
  Search(const StaticFiles& files, std::filesystem::path listsFolder);

  // Stations that hold the word in their name, or whose name or tags have
  // a word starting with each word of the query (a one-letter word must
  // match a whole word), case and accents aside. Best matches first: the
  // whole name, then names that start with the query, then whole words of
  // the name before words of the tags. Equal matches keep the order of the
  // files (by name) and of the stations in them; repeated (name, url)
  // pairs count once. An empty word matches every station.
  std::vector<StationHit> find(std::string_view word, std::size_t maxHits = kMaxHits) const;

  std::size_t size() const { return stations_.size(); }

  // One "<naam>NAME</naam><url>URL</url>\r\n" line per hit, values written
  // so the player reads them back, with "{{base}}" in urls replaced by base.
  static std::string Format(const std::vector<StationHit>& hits, std::string_view base);

 private:
  void add(std::string name, std::string url, std::string_view tags);
  void finishIndex();

  std::vector<StationHit> stations_;
  // Folded names, each ended by '\n' (folding leaves none inside).
  std::string foldedNames_;
  std::vector<std::uint32_t> nameStarts_;
  // Sorted distinct words; postings of word i are postings_[postingStarts_[i]
  // .. postingStarts_[i+1]), each station index * 2 + 1 when from the tags.
  std::vector<std::string> words_;
  std::vector<std::uint32_t> postingStarts_;
  std::vector<std::uint32_t> postings_;
  std::vector<std::pair<std::string, std::uint32_t>> pending_;  // while building
};

}  // namespace vandrel::directory
