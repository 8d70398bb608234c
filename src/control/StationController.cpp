#include "control/StationController.h"

#include "core/BrowserLinks.h"
#include "core/Ini.h"
#include "core/SettingsFile.h"
#include "stations/FavouriteFiles.h"

namespace vandrel {

StationController::StationController(Places places, QObject* parent)
    : QObject(parent),
      player_(places.player),
      station_(places.player, std::move(places.homepage)),
      settingsFolder_(std::move(places.settingsFolder)),
      lists_(places.lists) {
  station_.restore(kNoStation);
  station_.onChange([this] { emit stationChanged(QString::fromStdString(station_.name())); });
}

void StationController::setVolume(int volume) {
  // The same value again is no change: the slider that follows says so back.
  if (volume == volume_) return;
  volume_ = volume;
  player_.setVolume(volume);
  emit volumeChanged(volume);
}

void StationController::chooseCountry(const std::string& name, const std::string& file) {
  restoreCountry(name, file);
  emit reloadRequested();
}

void StationController::restoreCountry(const std::string& name, const std::string& file) {
  countryName_ = name;
  countryFile_ = file;
  emit countryChanged(QString::fromStdString(name));
}

Station StationController::stationFor(const std::string& address) const {
  for (int i = 0; i < lists_.urls.ListCount(); ++i) {
    if (lists_.urls.List(i) == address && i < lists_.names.ListCount()) {
      return {lists_.names.List(i), address, lists_.homepages.List(i)};
    }
  }
  std::string name = FavouriteNameFor(favouritesFolder_, address);
  return name.empty() ? Station{address, address, ""} : Station{name, address, station_.homepage()};
}

void StationController::openAddress(const std::string& address) {
  if (IsWebAddress(address)) station_.play(stationFor(address));
}

void StationController::resume() {
  const PlayState now = player().state().activity;
  if (now == PlayState::Connecting || now == PlayState::Buffering || now == PlayState::Playing) return;
  if (!station_.address().empty()) {
    station_.resume();
  } else if (const std::string last = lastAddress(); !last.empty()) {
    station_.open(last);
  }
}

std::string StationController::lastAddress() const {
  return ReadIniWhole(SettingsFile(settingsFolder_), settings::kLastUrl.section, settings::kLastUrl.key);
}

}  // namespace vandrel
