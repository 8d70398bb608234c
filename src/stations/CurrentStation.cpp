#include "stations/CurrentStation.h"

namespace vandrel {

CurrentStation::CurrentStation(Playback& player, std::string homepage)
    : player_(player), homepage_(std::move(homepage)) {}

void CurrentStation::play(const Station& station) {
  // The player first: should showing fail, the station still plays.
  player_.setURL(station.address);
  name_ = station.name;
  homepage_ = station.homepage;
  changed();
}

void CurrentStation::playNamed(const std::string& name, const std::string& address) {
  player_.setURL(address);
  name_ = name;
  changed();
}

void CurrentStation::open(const std::string& address) { player_.setURL(address); }

void CurrentStation::restore(const std::string& name) {
  name_ = name;
  changed();
}

void CurrentStation::stop() { player_.close(); }

void CurrentStation::pause() { player_.pause(); }

void CurrentStation::resume() { player_.play(); }

void CurrentStation::changed() {
  for (const auto& listener : listeners_) listener();
}

}  // namespace vandrel
