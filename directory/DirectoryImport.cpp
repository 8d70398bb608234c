#include "directory/DirectoryImport.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/TextFold.h"
#include "directory/CountryNames.h"
#include "directory/StationDumpReader.h"
#include "directory/TaggedListWriter.h"

namespace vandrel::directory {

namespace fs = std::filesystem;

namespace {

struct Station {
  std::string name;
  std::string url;
  std::string homepage;
  std::vector<std::string> tags;
  std::string countryStem;
  std::string sortKey;
};

struct CountryList {
  std::string displayName;
  std::vector<std::size_t> stations;
};

// Runs of blanks and control characters become one blank, ends trimmed.
std::string Tidy(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool gap = false;
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) {
      gap = !out.empty();
      continue;
    }
    if (gap) out += ' ';
    gap = false;
    out += c;
  }
  // The server fills "{{base}}" in lists with its own address.
  if (out.find("{{base}}") != std::string::npos) {
    std::erase_if(out, [](char c) { return c == '{' || c == '}'; });
  }
  return out;
}

// Web radio only: the player hands the address to a media player that would
// also open files, devices and its own pseudo-protocols. "http://" or
// "https://" in any case, a host, and no blanks, quotes or angle brackets.
bool IsAddress(std::string_view url) {
  const auto sep = url.find("://");
  if (sep == std::string_view::npos) return false;
  std::string scheme(url.substr(0, sep));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme != "http" && scheme != "https") return false;
  std::string_view host = url.substr(sep + 3, url.find_first_of("/?#", sep + 3) - (sep + 3));
  if (const auto at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
  if (host.empty() || host.front() == ':') return false;
  for (const char c : url) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '<' || c == '>' || c == '"' || c == '{' || c == '}') return false;
  }
  return true;
}

// Homepages are often given without a scheme; junk is dropped, not kept.
std::string TidyHomepage(std::string_view text) {
  std::string page = Tidy(text);
  if (page.find_first_of(" <>\"{}") != std::string::npos) page.clear();
  return page;
}

// Scheme and host are case-blind, so they do not keep duplicates apart.
std::string AddressKey(std::string_view url) {
  std::string key(url);
  const auto hostStart = key.find("://") + 3;
  auto hostEnd = key.find_first_of("/?#", hostStart);
  if (hostEnd == std::string::npos) hostEnd = key.size();
  for (std::size_t i = 0; i < hostEnd; ++i) {
    if (key[i] >= 'A' && key[i] <= 'Z') key[i] = static_cast<char>(key[i] - 'A' + 'a');
  }
  if (hostEnd == key.size()) key += '/';
  return key;
}

void AddTags(Station& station, const std::vector<std::string>& tags) {
  for (const std::string& raw : tags) {
    std::string tag = Tidy(raw);
    if (tag.empty()) continue;
    const std::string folded = TextFold::Fold(tag);
    const bool known = std::any_of(station.tags.begin(), station.tags.end(),
                                   [&](const std::string& t) { return TextFold::Fold(t) == folded; });
    if (!known) station.tags.push_back(std::move(tag));
  }
}

std::string Join(const std::vector<std::string>& parts, char sep) {
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty()) out += sep;
    out += p;
  }
  return out;
}

void WriteFile(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string TempPrefix(const fs::path& out) { return "." + out.filename().string() + ".import-"; }
constexpr std::size_t kTempSuffix = 6;  // mkdtemp's XXXXXX

// Every running import holds a lock on its temporary folder, so a folder
// whose lock can be had was left by an import that was killed.
void RemoveStaleTemporaries(const fs::path& out) {
  const std::string prefix = TempPrefix(out);
  std::error_code ec;
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(out.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    const std::string rest = name.substr(prefix.size());
    if (rest.size() != kTempSuffix && rest != rest.substr(0, kTempSuffix) + ".old") continue;
    const int fd = ::open(it->path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) stale.push_back(it->path());
    ::close(fd);
  }
  for (const fs::path& p : stale) fs::remove_all(p, ec);
}

// Removes the half-written folder unless it was put in place.
class TempFolder {
 public:
  explicit TempFolder(const fs::path& beside) {
    std::string pattern = (beside.parent_path() / (TempPrefix(beside) + std::string(kTempSuffix, 'X'))).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create a folder beside " + beside.string() + ": " + std::strerror(errno));
    }
    path_ = pattern;
    lock_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock_ >= 0) ::flock(lock_, LOCK_EX);
    // mkdtemp makes it private; a web server must be able to read it.
    fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
    if (lock_ >= 0) ::close(lock_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const fs::path& path() const { return path_; }

  // Puts the folder at out; whatever stood there is removed afterwards.
  void moveTo(const fs::path& out) {
    std::error_code ec;
    if (!fs::exists(out, ec)) {
      if (::rename(path_.c_str(), out.c_str()) != 0) Fail(out);
      path_.clear();
      return;
    }
    // One atomic exchange, so readers see the old folder or the new one.
    if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, out.c_str(), RENAME_EXCHANGE) == 0) return;
    const fs::path old = path_.string() + ".old";
    if (::rename(out.c_str(), old.c_str()) != 0) Fail(out);
    if (::rename(path_.c_str(), out.c_str()) != 0) {
      ::rename(old.c_str(), out.c_str());
      Fail(out);
    }
    path_ = old;
  }

 private:
  [[noreturn]] static void Fail(const fs::path& out) {
    throw std::runtime_error("cannot put the import in place at " + out.string() + ": " + std::strerror(errno));
  }

  fs::path path_;
  int lock_ = -1;
};

void CheckReplaceable(const fs::path& out) {
  std::error_code ec;
  const auto status = fs::symlink_status(out, ec);
  if (ec || !fs::exists(status)) return;
  if (!fs::is_directory(status)) throw std::runtime_error(out.string() + " exists and is not a folder");
  if (fs::is_empty(out, ec) || fs::exists(out / DirectoryImport::kIndexFile, ec)) return;
  throw std::runtime_error(out.string() + " holds files that no import wrote; choose a new or empty folder");
}

}  // namespace

DirectoryImport::Summary DirectoryImport::Run(const fs::path& dumpFile, const fs::path& outArg) {
  fs::path out = fs::absolute(outArg).lexically_normal();
  if (out.filename().empty()) out = out.parent_path();
  CheckReplaceable(out);
  std::error_code ec;
  if (!fs::is_directory(out.parent_path(), ec)) throw std::runtime_error("no such folder: " + out.parent_path().string());

  std::ifstream in(dumpFile, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + dumpFile.string());

  Summary summary;
  std::vector<Station> stations;
  std::unordered_map<std::string, std::size_t> byAddress;
  std::map<std::pair<std::string, std::string>, CountryNames::Country> countryOf;
  std::map<std::string, CountryList> countries;
  try {
    StationDumpReader::Read(in, [&](DumpStation&& d) {
      ++summary.read;
      if (d.lastCheckOk == false) return void(++summary.failedCheck);
      std::string url = Tidy(d.url);
      if (!IsAddress(url)) return void(++summary.noAddress);
      std::string key = AddressKey(url);
      if (const auto it = byAddress.find(key); it != byAddress.end()) {
        Station& first = stations[it->second];
        AddTags(first, d.tags);
        if (first.homepage.empty()) first.homepage = TidyHomepage(d.homepage);
        return void(++summary.merged);
      }
      Station s;
      s.name = Tidy(d.name);
      if (s.name.empty()) s.name = url;
      s.homepage = TidyHomepage(d.homepage);
      s.url = std::move(url);
      AddTags(s, d.tags);
      const std::string code = Tidy(d.countryCode);
      const std::string countryName = Tidy(d.country);
      auto [found, isNew] = countryOf.try_emplace({code, countryName});
      if (isNew) found->second = CountryNames::For(code, countryName);
      s.countryStem = found->second.fileStem;
      CountryList& list = countries[s.countryStem];
      if (list.displayName.empty()) list.displayName = found->second.displayName;
      list.stations.push_back(stations.size());
      s.sortKey = TextFold::Fold(s.name);
      byAddress.emplace(std::move(key), stations.size());
      stations.push_back(std::move(s));
    });
  } catch (const DumpFormatError& e) {
    throw std::runtime_error(dumpFile.string() + ": " + e.what() + "; nothing was written");
  }
  if (in.bad()) throw std::runtime_error("cannot read " + dumpFile.string() + "; nothing was written");
  if (stations.empty()) {
    throw std::runtime_error(dumpFile.string() + " holds no station with an address that passed its check; "
                             "nothing was written");
  }
  byAddress.clear();

  RemoveStaleTemporaries(out);
  TempFolder temp(out);
  const fs::path inter = temp.path() / "radio" / "inter";
  fs::create_directories(inter / "zenders");
  TaggedListWriter index;
  for (auto& [stem, list] : countries) {
    std::stable_sort(list.stations.begin(), list.stations.end(), [&](std::size_t a, std::size_t b) {
      const Station& x = stations[a];
      const Station& y = stations[b];
      return std::tie(x.sortKey, x.name, x.url) < std::tie(y.sortKey, y.name, y.url);
    });
    TaggedListWriter file;
    for (const std::size_t i : list.stations) {
      const Station& s = stations[i];
      file.add("naam", s.name);
      file.add("url", s.url);
      file.add("homepage", s.homepage);
      file.endRecord();
      index.add("naam", s.name);
      index.add("url", s.url);
      index.add("tags", Join(s.tags, ','));
      index.endRecord();
    }
    WriteFile(inter / "zenders" / (stem + ".txt"), file.text());
  }

  std::vector<const std::pair<const std::string, CountryList>*> order;
  for (const auto& entry : countries) order.push_back(&entry);
  std::sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
    return std::pair(TextFold::Fold(a->second.displayName), a->first) <
           std::pair(TextFold::Fold(b->second.displayName), b->first);
  });
  TaggedListWriter choices;
  for (const auto* entry : order) {
    choices.add("naam", entry->second.displayName);
    choices.add("bestand", entry->first + ".txt");
    choices.endRecord();
  }
  WriteFile(inter / "keuze-uk.txt", choices.text());
  // Written last: its presence marks a complete import.
  WriteFile(temp.path() / kIndexFile, index.text());

  temp.moveTo(out);
  summary.kept = stations.size();
  summary.countries = countries.size();
  return summary;
}

}  // namespace vandrel::directory
