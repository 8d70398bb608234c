#include "control/SongLog.h"

#include <filesystem>

#include "core/Ini.h"
#include "core/SettingsFile.h"
#include "stations/FavouriteFiles.h"

namespace vandrel {

namespace {

constexpr const char* kQuietKey = "melding";

}  // namespace

SongLog::SongLog(Places places, QObject* parent)
    : QObject(parent),
      controller_(places.controller),
      windowActive_(std::move(places.windowActive)),
      now_(std::move(places.now)),
      history_(SongHistoryFile(controller_.settingsFolder())),
      notifier_(places.bus) {
  notifier_.setEnabled(ReadIni(SettingsFile(controller_.settingsFolder()), settings::kNotify.section,
                               settings::kNotify.key) != "0");
  connect(&controller_.player(), &MediaPlayer::titleChanged, this,
          [this](const QString& title) { titleShown(title.toStdString()); });
}

void SongLog::titleShown(const std::string& title) {
  if (title.empty()) return;
  const std::string& station = controller_.station().name();
  history_.add({now_(), station, title});
  emit historyChanged();
  notifier_.titleChanged(station, title, windowActive_(), stationQuiet(FavouriteName(station)));
}

void SongLog::clearHistory() {
  history_.clear();
  emit historyChanged();
}

void SongLog::setNotificationsOn(bool on) {
  notifier_.setEnabled(on);
  WriteIni(SettingsFile(controller_.settingsFolder()), settings::kNotify.section, settings::kNotify.key,
           on ? "1" : "0");
}

std::string SongLog::favouriteFile(const std::string& name) const {
  if (!IsFavouriteFileName(name)) return "";
  std::string file = FavouriteFile(FavouritesFolder(controller_.settingsFolder()), name);
  std::error_code ec;
  return std::filesystem::is_regular_file(file, ec) ? file : "";
}

bool SongLog::stationQuiet(const std::string& favouriteName) const {
  const std::string file = favouriteFile(favouriteName);
  return !file.empty() && ReadIni(file, kFavouriteSection, kQuietKey) == "0";
}

void SongLog::setStationQuiet(const std::string& favouriteName, bool quiet) {
  const std::string file = favouriteFile(favouriteName);
  if (!file.empty()) WriteIni(file, kFavouriteSection, kQuietKey, quiet ? "0" : "1");
}

}  // namespace vandrel
