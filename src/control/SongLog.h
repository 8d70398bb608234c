#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

#include "control/StationController.h"
#include "stations/SongHistory.h"
#include "stations/SongNotifier.h"

namespace vandrel {

// What becomes of each title the player shows: a line in the song history
// and, unless unwanted, a desktop notification.
class SongLog : public QObject {
  Q_OBJECT

 public:
  struct Places {
    StationController& controller;
    NotificationBus& bus;
    // Whether the window is in front, where the title shows already.
    std::function<bool()> windowActive;
    std::function<std::int64_t()> now;  // seconds since 1970
  };

  explicit SongLog(Places places, QObject* parent = nullptr);

  const SongHistory& history() const { return history_; }
  void clearHistory();

  // Kept in the settings; on unless switched off.
  bool notificationsOn() const { return notifier_.enabled(); }
  void setNotificationsOn(bool on);
  // Kept in the station's favourite file; a station that is no favourite is never quiet.
  bool stationQuiet(const std::string& favouriteName) const;
  void setStationQuiet(const std::string& favouriteName, bool quiet);

 signals:
  void historyChanged();

 private:
  void titleShown(const std::string& title);
  std::string favouriteFile(const std::string& name) const;

  StationController& controller_;
  std::function<bool()> windowActive_;
  std::function<std::int64_t()> now_;
  SongHistory history_;
  SongNotifier notifier_;
};

}  // namespace vandrel
