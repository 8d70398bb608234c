#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel {

struct PlaylistEntry {
  std::string name;
  std::string address;
  bool operator==(const PlaylistEntry&) const = default;
};

// What an imported playlist gave: the web radio stations in it, named, and
// how many entries were left out (not web radio, relative, past the bound).
struct ImportedPlaylist {
  std::vector<PlaylistEntry> stations;
  std::size_t skipped = 0;
};

// Files larger than this are not read: a station playlist is a few kilobytes.
inline constexpr std::size_t kMaxPlaylistFileBytes = 4 << 20;
inline constexpr std::size_t kMaxPlaylistStations = 5000;

// Reads M3U and M3U8 (with or without #EXTM3U, #EXTINF attributes), PLS (with
// or without NumberOfEntries) and XSPF, in any line ends, with or without a
// byte order mark. Names are safe favourite names (FavouriteNameFrom).
ImportedPlaylist ReadPlaylist(std::string_view bytes);

// An extended M3U, UTF-8, one #EXTINF per station.
std::string WriteM3u(const std::vector<PlaylistEntry>& stations);
// A PLS version 2 playlist.
std::string WritePls(const std::vector<PlaylistEntry>& stations);

// A name from outside made fit to name a favourite file: line breaks and
// control characters become blanks, "/" becomes "-", blanks around it go;
// with nothing left, the address's host names it.
std::string FavouriteNameFrom(std::string_view name, std::string_view address);

}  // namespace vandrel
