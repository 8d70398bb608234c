#include "directory/Search.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include "core/TaggedList.h"
#include "core/TextFold.h"
#include "directory/BaseAddress.h"
#include "directory/DirectoryImport.h"
#include "directory/TaggedListWriter.h"

namespace vandrel::directory {

namespace fs = std::filesystem;

namespace {

// Points for how each query word matched one station.
constexpr std::uint8_t kNameWord = 8;
constexpr std::uint8_t kNamePrefix = 5;
constexpr std::uint8_t kTagWord = 4;
constexpr std::uint8_t kTagPrefix = 2;
// Points for how the whole query matched the name.
constexpr std::uint32_t kWholeName = 100;
constexpr std::uint32_t kNameStart = 40;
constexpr std::uint32_t kInName = 20;
constexpr std::size_t kMaxQueryWords = 32;

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

// A hostile list would otherwise hold start-up for minutes and gigabytes.
std::vector<std::vector<std::string>> ParseOrSkip(std::string_view text, const std::vector<std::string>& tags,
                                                  const fs::path& file) {
  try {
    return ParseTaggedList(text, tags);
  } catch (const TaggedListTooLarge&) {
    std::fprintf(stderr, "vandrel-directory: skipped %s: its values pass %zu MiB\n", file.c_str(),
                 kMaxTaggedListValueBytes >> 20);
    return std::vector<std::vector<std::string>>(tags.size());
  }
}

}  // namespace

Search::Search(const StaticFiles& files, fs::path listsFolder) {
  std::set<std::pair<std::string, std::string>> seen;
  const auto take = [&](std::string& name, std::string& url, std::string_view tags) {
    if (!seen.emplace(name, url).second) return;
    add(std::move(name), std::move(url), tags);
  };
  const fs::path indexFile = files.root() / DirectoryImport::kIndexFile;
  std::error_code ec;
  std::optional<std::string> index;
  if (fs::is_regular_file(indexFile, ec) && files.contains(indexFile)) {
    index = StaticFiles::Read(indexFile, std::size_t{1} << 30);
  }
  if (index) {
    auto values = ParseOrSkip(*index, {"naam", "url", "tags"}, indexFile);
    const std::size_t n = std::min({values[0].size(), values[1].size(), values[2].size()});
    for (std::size_t i = 0; i < n; ++i) take(values[0][i], values[1][i], values[2][i]);
  } else {
    for (const fs::path& list : ListFiles(listsFolder, files)) {
      const auto text = StaticFiles::Read(list);
      if (!text) continue;
      auto values = ParseOrSkip(*text, {"naam", "url"}, list);
      const std::size_t n = std::min(values[0].size(), values[1].size());
      for (std::size_t i = 0; i < n; ++i) take(values[0][i], values[1][i], {});
    }
  }
  finishIndex();
}

void Search::add(std::string name, std::string url, std::string_view tags) {
  const auto station = static_cast<std::uint32_t>(stations_.size());
  const std::string folded = TextFold::Fold(name);
  nameStarts_.push_back(static_cast<std::uint32_t>(foldedNames_.size()));
  foldedNames_ += folded;
  foldedNames_ += '\n';
  for (const std::string_view w : TextFold::Words(folded)) pending_.emplace_back(std::string(w), station * 2);
  const std::string foldedTags = TextFold::Fold(tags);
  for (const std::string_view w : TextFold::Words(foldedTags)) pending_.emplace_back(std::string(w), station * 2 + 1);
  stations_.push_back({std::move(name), std::move(url)});
}

void Search::finishIndex() {
  std::sort(pending_.begin(), pending_.end());
  pending_.erase(std::unique(pending_.begin(), pending_.end()), pending_.end());
  for (auto& [word, posting] : pending_) {
    if (words_.empty() || words_.back() != word) {
      words_.push_back(std::move(word));
      postingStarts_.push_back(static_cast<std::uint32_t>(postings_.size()));
    }
    postings_.push_back(posting);
  }
  postingStarts_.push_back(static_cast<std::uint32_t>(postings_.size()));
  pending_.clear();
  pending_.shrink_to_fit();
  foldedNames_.shrink_to_fit();
}

std::vector<StationHit> Search::find(std::string_view word, std::size_t maxHits) const {
  const std::string query = TextFold::Fold(word);
  const std::size_t n = stations_.size();
  if (query.empty()) {
    return {stations_.begin(), stations_.begin() + static_cast<std::ptrdiff_t>(std::min(n, maxHits))};
  }

  std::vector<std::uint32_t> score(n, 0);
  std::vector<std::uint8_t> inName(n, 0);

  // Occurrences of the whole query in the names, as the search always found.
  const std::string_view names = foldedNames_;
  for (std::size_t at = names.find(query); at != std::string_view::npos;) {
    const auto next = std::upper_bound(nameStarts_.begin(), nameStarts_.end(), static_cast<std::uint32_t>(at));
    const std::size_t s = static_cast<std::size_t>(next - nameStarts_.begin()) - 1;
    const std::size_t start = nameStarts_[s];
    const std::size_t end = s + 1 < n ? nameStarts_[s + 1] - 1 : names.size() - 1;
    if (at + query.size() <= end) {
      inName[s] = 1;
      score[s] = at == start ? (end - start == query.size() ? kWholeName : kNameStart) : kInName;
    }
    at = names.find(query, end + 1);
  }

  std::vector<std::string_view> tokens = TextFold::Words(query);
  std::sort(tokens.begin(), tokens.end());
  tokens.erase(std::unique(tokens.begin(), tokens.end()), tokens.end());
  // matched counts in a byte; a query of more words is cut.
  if (tokens.size() > kMaxQueryWords) tokens.resize(kMaxQueryWords);
  std::vector<std::uint8_t> matched(tokens.empty() ? 0 : n, 0);
  std::vector<std::uint8_t> best(tokens.empty() ? 0 : n, 0);
  std::vector<std::uint32_t> touched;
  for (const std::string_view token : tokens) {
    touched.clear();
    const bool prefixes = token.size() > 1;
    for (auto it = std::lower_bound(words_.begin(), words_.end(), token);
         it != words_.end() && std::string_view(*it).starts_with(token); ++it) {
      const bool whole = it->size() == token.size();
      if (!whole && !prefixes) break;
      const std::size_t w = static_cast<std::size_t>(it - words_.begin());
      for (std::uint32_t p = postingStarts_[w]; p < postingStarts_[w + 1]; ++p) {
        const std::uint32_t s = postings_[p] / 2;
        const bool tag = postings_[p] % 2 != 0;
        const std::uint8_t points = tag ? (whole ? kTagWord : kTagPrefix) : (whole ? kNameWord : kNamePrefix);
        if (best[s] == 0) touched.push_back(s);
        best[s] = std::max(best[s], points);
      }
    }
    for (const std::uint32_t s : touched) {
      score[s] += best[s];
      ++matched[s];
      best[s] = 0;
    }
  }

  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranked;  // (-score, station) by sorting order
  for (std::size_t s = 0; s < n; ++s) {
    if (inName[s] || (!tokens.empty() && matched[s] == tokens.size())) {
      ranked.emplace_back(~score[s], static_cast<std::uint32_t>(s));
    }
  }
  const std::size_t count = std::min(maxHits, ranked.size());
  std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(count), ranked.end());
  std::vector<StationHit> hits;
  hits.reserve(count);
  for (std::size_t i = 0; i < count; ++i) hits.push_back(stations_[ranked[i].second]);
  return hits;
}

std::string Search::Format(const std::vector<StationHit>& hits, std::string_view base) {
  TaggedListWriter out;
  for (const StationHit& hit : hits) {
    out.add("naam", hit.name);
    out.add("url", BaseAddress::Substitute(hit.url, base));
    out.endRecord();
  }
  return out.take();
}

}  // namespace vandrel::directory
