#include "core/XmlPlaylist.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "core/StreamAddress.h"
#include "core/TextDecoding.h"

namespace vandrel {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == ':' || c == '.';
}

// The position of the next tag "<name" (not "<names"), from `from` on.
std::size_t FindTag(const std::string& lower, std::string_view name, std::size_t from) {
  const std::string open = "<" + std::string(name);
  for (std::size_t at = lower.find(open, from); at != std::string::npos; at = lower.find(open, at + 1)) {
    const std::size_t after = at + open.size();
    if (after == lower.size() || !IsNameChar(lower[after])) return at;
  }
  return std::string::npos;
}

// XML's five entities and character references; anything else stays as it is.
std::string Unescape(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t semi = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
    if (semi == std::string_view::npos || semi - i > 10) {
      out += text[i];
      continue;
    }
    const std::string_view name = text.substr(i + 1, semi - i - 1);
    bool known = false;
    for (const auto& [entity, c] : kNamed) {
      if (name == entity) {
        out += c;
        known = true;
      }
    }
    if (!known && name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      std::uint32_t code = 0;
      known = name.size() > (hex ? 2u : 1u);
      for (const char c : name.substr(hex ? 2 : 1)) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : hex && std::isxdigit(static_cast<unsigned char>(c))
                              ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                              : -1;
        if (digit < 0) known = false;
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(std::max(digit, 0));
      }
      if (known && code > 0 && code <= 0x10FFFF) AppendUtf8(out, code);
      known = known && code > 0 && code <= 0x10FFFF;
    }
    if (!known) {
      out += text[i];
      continue;
    }
    i = semi;
  }
  return out;
}

std::string Trimmed(std::string text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  while (!text.empty() && blank(static_cast<unsigned char>(text.back()))) text.pop_back();
  text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
  return text;
}

// The text between "<name ...>" at `at` and its closing tag, before `limit`.
bool ElementText(std::string_view text, const std::string& lower, std::string_view name, std::size_t at,
                 std::size_t limit, std::string& value) {
  const std::size_t open = lower.find('>', at);
  const std::size_t close = lower.find("</" + std::string(name), at);
  if (open == std::string::npos || close == std::string::npos || open > close || close > limit) return false;
  value = Trimmed(Unescape(text.substr(open + 1, close - open - 1)));
  return true;
}

// The first <name> element's text between from and limit, or "".
std::string FirstText(std::string_view text, const std::string& lower, std::string_view name, std::size_t from,
                      std::size_t limit) {
  std::string value;
  const std::size_t at = FindTag(lower, name, from);
  if (at < limit) ElementText(text, lower, name, at, limit, value);
  return value;
}

// The value of attribute `name` inside the tag text, or nothing.
bool Attribute(std::string_view tag, std::string_view lowerTag, std::string_view name, std::string_view& value) {
  for (std::size_t at = lowerTag.find(name); at != std::string_view::npos; at = lowerTag.find(name, at + 1)) {
    if (at == 0 || IsNameChar(lowerTag[at - 1])) continue;
    std::size_t i = at + name.size();
    while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
    if (i == tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
    if (i == tag.size() || (tag[i] != '"' && tag[i] != '\'')) continue;
    const std::size_t end = tag.find(tag[i], i + 1);
    if (end == std::string_view::npos) return false;
    value = tag.substr(i + 1, end - i - 1);
    return true;
  }
  return false;
}

void AsxEntries(std::string_view text, const std::string& lower, std::vector<XmlPlaylistEntry>& entries) {
  for (std::size_t at = FindTag(lower, "ref", 0); at != std::string::npos && entries.size() < kMaxXmlPlaylistEntries;
       at = FindTag(lower, "ref", at + 1)) {
    const std::size_t end = lower.find('>', at);
    if (end == std::string::npos) break;
    std::string_view href;
    if (Attribute(text.substr(at, end - at), std::string_view(lower).substr(at, end - at), "href", href)) {
      // The entry's title, when the ref sits in one that has it.
      const std::size_t entry = lower.rfind("<entry", at);
      const std::size_t entryEnd = entry == std::string::npos ? 0 : lower.find("</entry", entry);
      const bool inEntry = entry != std::string::npos && entryEnd != std::string::npos && entryEnd > at;
      entries.push_back({inEntry ? FirstText(text, lower, "title", entry, entryEnd) : std::string(),
                         Trimmed(Unescape(href))});
    }
  }
}

void XspfEntries(std::string_view text, const std::string& lower, std::vector<XmlPlaylistEntry>& entries) {
  // Only a track's locations: the playlist's own is where it lives.
  for (std::size_t track = FindTag(lower, "track", 0);
       track != std::string::npos && entries.size() < kMaxXmlPlaylistEntries;) {
    const std::size_t next = FindTag(lower, "track", track + 1);
    const std::size_t end = std::min(lower.find("</track", track), next);
    const std::string title = FirstText(text, lower, "title", track, end);
    for (std::size_t at = FindTag(lower, "location", track); at < end && entries.size() < kMaxXmlPlaylistEntries;
         at = FindTag(lower, "location", at + 1)) {
      std::string address;
      if (!ElementText(text, lower, "location", at, std::string::npos, address)) break;
      entries.push_back({title, std::move(address)});
    }
    track = next;
  }
}

}  // namespace

bool MayBeXmlPlaylist(std::string_view address) {
  const std::string lower = Lower(address);
  for (const std::string_view kind : {"asx", "wax", "wvx", "xspf"}) {
    if (lower.find(kind) != std::string::npos) return true;
  }
  return false;
}

std::vector<XmlPlaylistEntry> XmlPlaylistEntries(std::string_view text) {
  std::vector<XmlPlaylistEntry> entries;
  const std::string lower = Lower(text.substr(0, kMaxXmlPlaylistBytes));
  if (FindTag(lower, "asx", 0) != std::string::npos) {
    AsxEntries(text, lower, entries);
  } else if (FindTag(lower, "playlist", 0) != std::string::npos && FindTag(lower, "tracklist", 0) != std::string::npos) {
    XspfEntries(text, lower, entries);
  }
  return entries;
}

bool IsOneLineWebRadio(std::string_view address) {
  return std::none_of(address.begin(), address.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }) &&
         IsWebRadioAddress(address);
}

std::vector<std::string> XmlPlaylistStreams(std::string_view text) {
  std::vector<std::string> streams;
  for (XmlPlaylistEntry& entry : XmlPlaylistEntries(text)) {
    if (IsOneLineWebRadio(entry.address)) streams.push_back(std::move(entry.address));
  }
  return streams;
}

std::string AsM3u(const std::vector<std::string>& addresses) {
  std::string m3u = "#EXTM3U\n";
  for (const std::string& address : addresses) m3u += address + "\n";
  return m3u;
}

}  // namespace vandrel
