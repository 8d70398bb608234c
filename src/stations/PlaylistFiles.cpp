#include "stations/PlaylistFiles.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

#include "core/TextDecoding.h"
#include "core/XmlPlaylist.h"

namespace vandrel {

namespace {

// Longer names could not name a file (255 bytes) nor be read back whole.
constexpr std::size_t kMaxNameBytes = 200;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(begin, i - begin));
    if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
    begin = i + 1;
  }
  return lines;
}

struct Reader {
  ImportedPlaylist result;
  void add(std::string_view name, std::string_view rawAddress) {
    const std::string address(Trim(rawAddress));
    if (!IsOneLineWebRadio(address) || result.stations.size() >= kMaxPlaylistStations) {
      ++result.skipped;
      return;
    }
    result.stations.push_back({FavouriteNameFrom(name, address), address});
  }
};

// The title of "#EXTINF:-1 tvg-name="A, B" group-title="x",Title": after the
// first comma outside quotes.
std::string_view ExtinfTitle(std::string_view info) {
  bool quoted = false;
  for (std::size_t i = 0; i < info.size(); ++i) {
    if (info[i] == '"') quoted = !quoted;
    if (info[i] == ',' && !quoted) return info.substr(i + 1);
  }
  return {};
}

void ReadM3u(std::string_view text, Reader& reader) {
  std::string_view name;
  for (std::string_view line : Lines(text)) {
    line = Trim(line);
    if (line.empty()) continue;
    if (StartsWithNoCase(line, "#EXTINF:")) {
      name = ExtinfTitle(line.substr(8));
    } else if (line.front() != '#') {
      reader.add(name, line);
      name = {};
    }
  }
}

// "File3" -> 3; 0 for any other key.
unsigned EntryNumber(std::string_view key, std::string_view prefix) {
  if (!StartsWithNoCase(key, prefix)) return 0;
  unsigned n = 0;
  const char* end = key.data() + key.size();
  const auto [at, error] = std::from_chars(key.data() + prefix.size(), end, n);
  return error == std::errc() && at == end ? n : 0;
}

void ReadPls(std::string_view text, Reader& reader) {
  std::map<unsigned, std::pair<std::string_view, std::string_view>> entries;  // number -> title, file
  bool inPlaylist = false;
  for (std::string_view line : Lines(text)) {
    line = Trim(line);
    if (!line.empty() && line.front() == '[') {
      inPlaylist = StartsWithNoCase(line, "[playlist]");
      continue;
    }
    const std::size_t eq = line.find('=');
    if (!inPlaylist || eq == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, eq));
    const std::string_view value = Trim(line.substr(eq + 1));
    if (const unsigned n = EntryNumber(key, "file")) {
      entries[n].second = value;
    } else if (const unsigned t = EntryNumber(key, "title")) {
      entries[t].first = value;
    }
  }
  for (const auto& [n, entry] : entries) {
    if (!entry.second.empty()) reader.add(entry.first, entry.second);
  }
}

std::string HostOf(std::string_view address) {
  const std::size_t scheme = address.find("://");
  if (scheme == std::string_view::npos) return "";
  std::string_view rest = address.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
  if (!rest.empty() && rest.front() == '[') return std::string(rest.substr(0, rest.find(']') + 1));
  return std::string(rest.substr(0, rest.find(':')));
}

}  // namespace

std::string FavouriteNameFrom(std::string_view name, std::string_view address) {
  std::string safe = ScreenText(name);
  std::replace(safe.begin(), safe.end(), '/', '-');
  std::string trimmed(Trim(CutUtf8(std::move(safe), kMaxNameBytes)));
  if (trimmed.empty() || trimmed == "." || trimmed == "..") trimmed = HostOf(address);
  return trimmed;
}

ImportedPlaylist ReadPlaylist(std::string_view bytes) {
  Reader reader;
  if (bytes.size() > kMaxPlaylistFileBytes) return reader.result;
  const std::string text = DecodeBodyText(bytes);
  const std::string_view start = Trim(text);
  if (!start.empty() && start.front() == '<') {
    for (const XmlPlaylistEntry& entry : XmlPlaylistEntries(start)) reader.add(entry.title, entry.address);
  } else if (StartsWithNoCase(start, "[playlist]")) {
    ReadPls(start, reader);
  } else {
    ReadM3u(start, reader);
  }
  return reader.result;
}

std::string WriteM3u(const std::vector<PlaylistEntry>& stations) {
  std::string m3u = "#EXTM3U\n";
  for (const PlaylistEntry& s : stations) m3u += "#EXTINF:-1," + s.name + "\n" + s.address + "\n";
  return m3u;
}

std::string WritePls(const std::vector<PlaylistEntry>& stations) {
  std::string pls = "[playlist]\nNumberOfEntries=" + std::to_string(stations.size()) + "\n";
  for (std::size_t i = 0; i < stations.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    pls += "File" + n + "=" + stations[i].address + "\nTitle" + n + "=" + stations[i].name + "\nLength" + n + "=-1\n";
  }
  return pls + "Version=2\n";
}

}  // namespace vandrel
