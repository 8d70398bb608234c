#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel {

// ASX and XSPF, the playlists libmpv does not read itself, are fetched for
// it within these bounds.
inline constexpr std::size_t kMaxXmlPlaylistBytes = 1 << 20;
inline constexpr std::size_t kMaxXmlPlaylistEntries = 1000;

// Whether an address that mpv could not open may name such a playlist
// ("radio.asx", "listen.php?type=xspf"): only those are fetched again.
bool MayBeXmlPlaylist(std::string_view address);

struct XmlPlaylistEntry {
  std::string title;    // the entry's or track's title, "" when it has none
  std::string address;  // as written, not yet checked
};

// Every entry of an ASX (each ref's href) or XSPF playlist (each track's
// location), in order, at most kMaxXmlPlaylistEntries. Empty for any other text.
std::vector<XmlPlaylistEntry> XmlPlaylistEntries(std::string_view text);

// Web radio on one line: what may go into a playlist line for mpv.
bool IsOneLineWebRadio(std::string_view address);

// The stream addresses of an ASX (every ref's href) or XSPF playlist (every
// track's location), in order, web radio only, at most kMaxXmlPlaylistEntries.
// Empty for any other text.
std::vector<std::string> XmlPlaylistStreams(std::string_view text);

// The addresses as an M3U playlist, which mpv reads from memory.
std::string AsM3u(const std::vector<std::string>& addresses);

}  // namespace vandrel
