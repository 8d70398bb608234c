#include "stations/SongHistory.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include "core/AtomicFile.h"
#include "core/ProgramFolder.h"
#include "core/TextDecoding.h"

namespace vandrel {

namespace {

// kKept lines of two bounded texts, with room to spare.
constexpr std::size_t kMaxFileBytes = SongHistory::kKept * (2 * SongHistory::kMaxTextBytes + 32) * 2;

// One line, no tab, not over the bound: what a line of the file can hold.
std::string Field(std::string_view text) {
  return CutUtf8(ScreenText(text), SongHistory::kMaxTextBytes);
}

}  // namespace

std::string SongHistoryFile(const std::string& settingsFolder) { return InFolder(settingsFolder, "history.txt"); }

SongHistory::SongHistory(std::string file) : file_(std::move(file)) {
  // The newest lines are at the end: a file grown past the bound elsewhere is read from its tail.
  std::ifstream in(file_, std::ios::binary | std::ios::ate);
  const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : 0;
  const std::streamoff from = std::max<std::streamoff>(0, size - static_cast<std::streamoff>(kMaxFileBytes));
  in.seekg(from);
  std::string text;
  text.resize(static_cast<std::size_t>(size - from));
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  std::size_t begin = from > 0 ? text.find('\n') + 1 : 0;  // the cut line is not whole
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + begin, end - begin);
    begin = end + 1;
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) continue;
    PlayedSong song;
    const auto [at, error] = std::from_chars(line.data(), line.data() + tab1, song.time);
    if (error != std::errc() || at != line.data() + tab1) continue;
    song.station = Field(line.substr(tab1 + 1, tab2 - tab1 - 1));
    song.title = Field(line.substr(tab2 + 1));
    if (song.title.empty()) continue;
    songs_.push_back(std::move(song));
    if (songs_.size() > kKept) songs_.pop_front();
  }
}

bool SongHistory::add(PlayedSong song) {
  song.station = Field(song.station);
  song.title = Field(song.title);
  if (song.title.empty()) return true;
  if (!songs_.empty() && songs_.back().station == song.station && songs_.back().title == song.title) return true;
  songs_.push_back(std::move(song));
  if (songs_.size() > kKept) songs_.pop_front();
  return save();
}

bool SongHistory::clear() {
  songs_.clear();
  return save();
}

bool SongHistory::save() const {
  std::string text;
  for (const PlayedSong& song : songs_) {
    text += std::to_string(song.time) + '\t' + song.station + '\t' + song.title + '\n';
  }
  return ReplaceFileAtomically(file_, text, 0600);
}

}  // namespace vandrel
