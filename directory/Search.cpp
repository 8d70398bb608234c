#include "directory/Search.h"

#include <algorithm>
#include <set>
#include <system_error>
#include <utility>

#include "directory/BaseAddress.h"
#include "player/TaggedList.h"

namespace vandrel::directory {

namespace fs = std::filesystem;

namespace {

std::string FoldAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::vector<fs::path> ListFiles(const fs::path& folder, const StaticFiles& files) {
  std::vector<fs::path> lists;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (p.extension() != ".txt" || p.filename().string().front() == '.') continue;
    std::error_code statEc;
    if (!fs::is_regular_file(p, statEc) || !files.contains(p)) continue;
    lists.push_back(p);
  }
  std::sort(lists.begin(), lists.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename().string() < b.filename().string(); });
  return lists;
}

}  // namespace

Search::Search(const StaticFiles& files, fs::path listsFolder)
    : files_(files), listsFolder_(std::move(listsFolder)) {}

std::vector<StationHit> Search::find(std::string_view word, std::size_t maxHits) const {
  const std::string needle = FoldAscii(word);
  std::vector<StationHit> hits;
  std::set<std::pair<std::string, std::string>> seen;
  for (const fs::path& list : ListFiles(listsFolder_, files_)) {
    const auto text = StaticFiles::Read(list);
    if (!text) continue;
    const auto values = ParseTaggedList(*text, {"naam", "url", "homepage"});
    const auto& names = values[0];
    const auto& urls = values[1];
    const std::size_t pairs = std::min(names.size(), urls.size());
    for (std::size_t i = 0; i < pairs; ++i) {
      if (FoldAscii(names[i]).find(needle) == std::string::npos) continue;
      if (!seen.emplace(names[i], urls[i]).second) continue;
      hits.push_back({names[i], urls[i]});
      if (hits.size() >= maxHits) return hits;
    }
  }
  return hits;
}

std::string Search::Format(const std::vector<StationHit>& hits, std::string_view base) {
  std::string out;
  for (const StationHit& hit : hits) {
    out += "<naam>" + hit.name + "</naam><url>" + BaseAddress::Substitute(hit.url, base) + "</url>\r\n";
  }
  return out;
}

}  // namespace vandrel::directory
