#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "core/ListBox.h"
#include "platform/MediaPlayer.h"
#include "stations/CurrentStation.h"
#include "stations/StationListLoader.h"

namespace vandrel {

// What the main window shows, held under it: the current station, the
// volume, the chosen country and its list file. The window's controls, the
// dialogs, the favourites and the desktop's media controls change these
// only through here and follow the signals.
class StationController : public QObject {
  Q_OBJECT

 public:
  // The station name shown before any station is chosen.
  static constexpr const char* kNoStation = "*+ naam zender +*";
  // The country the window shows before the remembered one is restored.
  static constexpr const char* kFirstCountry = "Holland";
  static constexpr const char* kFirstCountryFile = "holland.txt";

  struct Places {
    MediaPlayer& player;
    // The homepage shown until a station gives one.
    std::string homepage;
    // Holds INST.INI and favo/.
    std::string settingsFolder;
    // The station list the window shows: names, addresses, homepages by index.
    StationLists lists;
  };

  explicit StationController(Places places, QObject* parent = nullptr);

  MediaPlayer& player() { return player_; }
  CurrentStation& station() { return station_; }
  const CurrentStation& station() const { return station_; }
  const std::string& settingsFolder() const { return settingsFolder_; }

  // The player starts at full volume.
  int volume() const { return volume_; }
  void setVolume(int volume);

  const std::string& countryName() const { return countryName_; }
  const std::string& countryFile() const { return countryFile_; }
  // A country chosen by the user: shown at once, its stations loaded soon.
  void chooseCountry(const std::string& name, const std::string& file);
  // The remembered country at start-up: its list loads on the first round.
  void restoreCountry(const std::string& name, const std::string& file);

  // The folder whose favourites name the addresses opened from outside;
  // none until the window lists it.
  void setFavouritesFolder(const std::string& folder) { favouritesFolder_ = folder; }
  // The listed station or favourite with this address; else the address
  // names itself, with no homepage. A favourite keeps the one shown.
  Station stationFor(const std::string& address) const;
  // An address from outside the window (the desktop's media controls): only
  // web radio plays, shown under the name it is known by.
  void openAddress(const std::string& address);
  // What a play with nothing played yet opens: the address saved at the last close.
  std::string lastAddress() const;
  // Plays again what was stopped or paused; with nothing played yet, the
  // last address. Nothing while sound plays or is on its way.
  void resume();

 signals:
  void volumeChanged(int volume);
  void countryChanged(const QString& name);
  // The chosen country's station list should load again.
  void reloadRequested();
  // The station name or homepage changed.
  void stationChanged(const QString& name);

 private:
  MediaPlayer& player_;
  CurrentStation station_;
  std::string settingsFolder_;
  StationLists lists_;
  std::string favouritesFolder_;
  int volume_ = 100;
  std::string countryName_ = kFirstCountry;
  std::string countryFile_ = kFirstCountryFile;
};

}  // namespace vandrel
