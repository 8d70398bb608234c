#pragma once

#include <cstddef>
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

// Station search over every list file (*.txt) in one folder of the data.
class Search {
 public:
  static constexpr std::size_t kMaxHits = 200;

  // listsFolder lies inside files' root; files keeps lookups inside it.
  Search(const StaticFiles& files, std::filesystem::path listsFolder);

  // Stations whose name contains word, ASCII letters matched without regard
  // to case. Files are taken in name order, stations in list order; repeated
  // (name, url) pairs count once. An empty word matches every station.
  std::vector<StationHit> find(std::string_view word, std::size_t maxHits = kMaxHits) const;

  // One "<naam>NAME</naam><url>URL</url>\r\n" line per hit, with "{{base}}"
  // in urls replaced by base.
  static std::string Format(const std::vector<StationHit>& hits, std::string_view base);

 private:
  const StaticFiles& files_;
  std::filesystem::path listsFolder_;
};

}  // namespace vandrel::directory
