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

// Kept when it is web radio and fits on one playlist line.
void Keep(std::vector<std::string>& streams, std::string_view raw) {
  std::string address = Unescape(raw);
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  while (!address.empty() && blank(static_cast<unsigned char>(address.back()))) address.pop_back();
  const auto first = std::find_if_not(address.begin(), address.end(), blank);
  address.erase(address.begin(), first);
  const bool oneLine = std::none_of(address.begin(), address.end(),
                                    [](unsigned char c) { return c < 0x20 || c == 0x7F; });
  if (oneLine && IsWebRadioAddress(address)) streams.push_back(std::move(address));
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

void AsxStreams(std::string_view text, const std::string& lower, std::vector<std::string>& streams) {
  for (std::size_t at = FindTag(lower, "ref", 0); at != std::string::npos && streams.size() < kMaxXmlPlaylistEntries;
       at = FindTag(lower, "ref", at + 1)) {
    const std::size_t end = lower.find('>', at);
    if (end == std::string::npos) break;
    std::string_view href;
    if (Attribute(text.substr(at, end - at), std::string_view(lower).substr(at, end - at), "href", href)) {
      Keep(streams, href);
    }
  }
}

void XspfStreams(std::string_view text, const std::string& lower, std::vector<std::string>& streams) {
  // Only a track's locations: the playlist's own is where it lives.
  for (std::size_t track = FindTag(lower, "track", 0);
       track != std::string::npos && streams.size() < kMaxXmlPlaylistEntries;) {
    const std::size_t next = FindTag(lower, "track", track + 1);
    const std::size_t end = std::min(lower.find("</track", track), next);
    for (std::size_t at = FindTag(lower, "location", track); at < end && streams.size() < kMaxXmlPlaylistEntries;
         at = FindTag(lower, "location", at + 1)) {
      const std::size_t open = lower.find('>', at);
      const std::size_t close = lower.find("</location", at);
      if (open == std::string::npos || close == std::string::npos || open > close) break;
      Keep(streams, text.substr(open + 1, close - open - 1));
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

std::vector<std::string> XmlPlaylistStreams(std::string_view text) {
  std::vector<std::string> streams;
  const std::string lower = Lower(text.substr(0, kMaxXmlPlaylistBytes));
  if (FindTag(lower, "asx", 0) != std::string::npos) {
    AsxStreams(text, lower, streams);
  } else if (FindTag(lower, "playlist", 0) != std::string::npos && FindTag(lower, "tracklist", 0) != std::string::npos) {
    XspfStreams(text, lower, streams);
  }
  return streams;
}

std::string AsM3u(const std::vector<std::string>& addresses) {
  std::string m3u = "#EXTM3U\n";
  for (const std::string& address : addresses) m3u += address + "\n";
  return m3u;
}

}  // namespace vandrel
