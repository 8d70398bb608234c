#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <memory>

#include "control/AlarmControl.h"
#include "control/RecordControl.h"
#include "control/SleepControl.h"
#include "control/SongLog.h"
#include "shell/DesktopNotifications.h"

namespace vandrel {

class Form1;
class HistoryWindow;

// What the window offers beyond its controls: the lists' context menus,
// the tray menu's items below its own five, the keyboard, the song history
// and the title notifications.
class Form1Menus : public QObject {
  Q_OBJECT

 public:
  explicit Form1Menus(Form1& window);
  ~Form1Menus() override;

  SongLog& songLog() { return log_; }
  SleepControl& sleep() { return sleep_; }
  AlarmControl& alarm() { return alarm_; }
  RecordControl& recorder() { return recorder_; }
  void showAlarm();
  QMenu& sleepMenu() { return sleepMenu_; }
  QMenu& recordMenu() { return recordMenu_; }
  QMenu& favouritesMenu() { return favouritesMenu_; }
  QMenu& stationsMenu() { return stationsMenu_; }
  // The history window, opened (or raised) on the first call.
  HistoryWindow& showHistory();
  // Space: stops what plays, else plays the selected line of the list with
  // the focus, else the current station again.
  void playOrStop();
  void toggleMute();
  // The shortcuts and what they do, one per line.
  QString shortcutsText() const;

  QAction* history;  // in the tray menu
  QAction* notify;   // in the tray menu, checkable
  QAction* alarmItem;  // in the tray menu
  QAction* recordItem;  // in the tray menu and the station list's, checked while recording
  QAction* sleepCancel;  // in the tray menu while the sleep timer runs: what is left, one click to cancel

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void addShortcuts();
  void retitle();
  void showShortcuts();
  void showSleep();
  QString text(const char* key) const;

  Form1& window_;
  DesktopNotifications bus_;  // before the log, which it answers
  SongLog log_;
  QMenu favouritesMenu_;
  QMenu stationsMenu_;
  QMenu sleepMenu_;
  QMenu recordMenu_;
  SleepControl sleep_;
  AlarmControl alarm_;
  RecordControl recorder_;
  QAction* stationQuiet_ = nullptr;
  QPointer<HistoryWindow> historyWindow_;
  int volumeBeforeMute_ = 0;
  struct Key {
    QKeySequence keys;
    const char* text;
  };
  std::vector<Key> keys_;
};

}  // namespace vandrel
