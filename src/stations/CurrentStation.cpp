#include "stations/CurrentStation.h"

namespace vandrel {

CurrentStation::CurrentStation(Playback& player, std::string homepage)
    : player_(player), homepage_(std::move(homepage)) {}

void CurrentStation::Play(const Station& station) {
  // The player first: should showing fail, the station still plays.
  player_.setURL(station.address);
  name_ = station.name;
  homepage_ = station.homepage;
  Changed();
}

void CurrentStation::PlayNamed(const std::string& name, const std::string& address) {
  player_.setURL(address);
  name_ = name;
  Changed();
}

void CurrentStation::Open(const std::string& address) { player_.setURL(address); }

void CurrentStation::Restore(const std::string& name) {
  name_ = name;
  Changed();
}

void CurrentStation::Stop() { player_.close(); }

void CurrentStation::Pause() { player_.pause(); }

void CurrentStation::Continue() { player_.play(); }

void CurrentStation::Changed() {
  for (const auto& listener : listeners_) listener();
}

}  // namespace vandrel
