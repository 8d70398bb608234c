#include "stations/SongNotifier.h"

namespace vandrel {

void SongNotifier::titleChanged(const std::string& station, const std::string& title, bool windowActive,
                                bool stationQuiet) {
  if (title.empty() || (station == station_ && title == title_)) return;
  // Remembered even when quiet: the window losing the focus brings no old title back.
  station_ = station;
  title_ = title;
  if (!enabled_ || windowActive || stationQuiet) return;
  if (waiting_) {
    queued_ = true;
    return;
  }
  send();
}

void SongNotifier::send() {
  waiting_ = true;
  bus_.notify(id_, title_, station_, [this](std::uint32_t id) {
    if (id != 0) id_ = id;
    waiting_ = false;
    if (queued_) {
      queued_ = false;
      send();
    }
  });
}

}  // namespace vandrel
