#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace vandrel {

struct PlayedSong {
  std::int64_t time = 0;  // seconds since 1970, UTC
  std::string station;
  std::string title;
  bool operator==(const PlayedSong&) const = default;
};

// The titles heard, newest last, kept across starts in one file beside the
// settings: a line "time<TAB>station<TAB>title" each, replaced atomically at
// every change so a crash leaves the old or the new list, never half of one.
class SongHistory {
 public:
  static constexpr std::size_t kKept = 500;
  static constexpr std::size_t kMaxTextBytes = 400;  // per station name or title

  // Reads what the file holds; a missing or unreadable file is an empty history.
  explicit SongHistory(std::string file);

  const std::deque<PlayedSong>& songs() const { return songs_; }
  const std::string& file() const { return file_; }

  // A title shown for a station. The same title again on the same station
  // (a reconnect, a repeated tag) and an empty title add nothing. False when
  // the file could not be written; the song is kept in memory all the same.
  bool add(PlayedSong song);
  bool clear();

 private:
  bool save() const;

  std::string file_;
  std::deque<PlayedSong> songs_;
};

// The history's file in the settings folder.
std::string SongHistoryFile(const std::string& settingsFolder);

}  // namespace vandrel
