#include "window/Form1Menus.h"

#include <sys/statvfs.h>

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QDateTime>
#include <QFileDialog>
#include <QKeyEvent>
#include <QShortcut>

#include "core/Ini.h"
#include "core/Registry.h"
#include "core/SettingsFile.h"
#include "dialogs/AlarmDialog.h"
#include "dialogs/HistoryWindow.h"
#include "platform/MessageBox.h"
#include "window/Favourites.h"
#include "window/Form1.h"

namespace vandrel {

namespace {

constexpr int kVolumeStep = 5;

// The user's music folder (XDG_MUSIC_DIR), in a folder of our own, unless the settings say where.
std::string RecordingFolder(const std::string& settingsFolder) {
  const std::string chosen = ReadIniWhole(SettingsFile(settingsFolder), settings::kRecordFolder.section,
                                          settings::kRecordFolder.key);
  if (!chosen.empty()) return chosen;
  const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  return (music.isEmpty() ? QDir::homePath() + "/Music" : music).toStdString() + "/Vandrel";
}

std::uint64_t FreeBytes(const std::string& folder) {
  struct statvfs st {};
  return ::statvfs(folder.c_str(), &st) == 0 ? std::uint64_t(st.f_bavail) * st.f_frsize : 0;
}

bool IsPlaying(PlayState activity) { return activity != PlayState::Stopped && activity != PlayState::Error; }

// An action whose text is the language text under key, set again at each retitle.
template <typename... Slot>
QAction* Keyed(QMenu& menu, const char* key, const char* name, Slot&&... slot) {
  QAction* action = menu.addAction(QString(), std::forward<Slot>(slot)...);
  action->setProperty("textKey", QByteArray(key));
  action->setObjectName(name);
  return action;
}

}  // namespace

Form1Menus::Form1Menus(Form1& window)
    : window_(window),
      log_({window.controller(), bus_, [&window] { return window.isActiveWindow(); },
            [] { return QDateTime::currentSecsSinceEpoch(); }}),
      sleep_(window.controller(), [] { return Millis(QDateTime::currentMSecsSinceEpoch()); }),
      alarm_({window.controller(),
              [] {
                const QDateTime now = QDateTime::currentDateTime();
                return LocalMoment{now.toSecsSinceEpoch(), now.date().dayOfWeek() - 1,
                                   now.time().msecsSinceStartOfDay() / 1000};
              },
              [] { return Millis(QDateTime::currentMSecsSinceEpoch()); }, window.env_.baseAddress + "stream/tone",
              [] { QApplication::beep(); }}),
      recorder_({window.controller(), [&window] { return RecordingFolder(window.settingsFolder()); },
                 [] { return QDateTime::currentDateTime().toString("yyyy-MM-dd HH.mm").toStdString(); }, FreeBytes}) {
  const auto ports = [this] {
    return FavouritePorts{window_.controller(), window_.File1Box, window_.texts(), window_.boxes(), &window_};
  };
  // The favourites' menu; the station list's holds what does not need a favourite.
  Keyed(favouritesMenu_, "xaddstation", "addstation", this, [ports] { AddOwnStation(ports()); });
  Keyed(favouritesMenu_, "xeditstation", "editstation", this, [ports] { EditFavourite(ports()); });
  Keyed(favouritesMenu_, "command2", "remove", &window_, &Form1::Command2_Click);
  stationQuiet_ = Keyed(favouritesMenu_, "xnotifystation", "notifystation");
  stationQuiet_->setCheckable(true);
  connect(stationQuiet_, &QAction::triggered, this,
          [this](bool on) { log_.setStationQuiet(window_.File1Box.FileName(), !on); });
  favouritesMenu_.addSeparator();
  Keyed(favouritesMenu_, "ximport", "import", this, [this, ports] {
    const QString path = QFileDialog::getOpenFileName(&window_, text("ximport"), QString(),
                                                      "Playlists (*.m3u *.m3u8 *.pls *.xspf);;All files (*)");
    if (!path.isEmpty()) ImportFavourites(ports(), path.toStdString());
  });
  for (const bool selected : {false, true}) {
    Keyed(favouritesMenu_, selected ? "xexportselected" : "xexport", selected ? "exportselected" : "export", this,
          [this, ports, selected] {
      QString path = QFileDialog::getSaveFileName(&window_, text(selected ? "xexportselected" : "xexport"),
                                                  "favourites.m3u", "M3U (*.m3u);;PLS (*.pls)");
      if (!path.isEmpty()) ExportFavourites(ports(), path.toStdString(), selected);
    });
  }
  favouritesMenu_.addSeparator();
  QAction* keys = Keyed(favouritesMenu_, "xkeys", "keys", this, [this] { showShortcuts(); });
  stationsMenu_.addAction(favouritesMenu_.actions()[0]);
  Keyed(stationsMenu_, "xaddfav", "addfavourite", &window_, &Form1::Command1_Click);
  Keyed(stationsMenu_, "xhistory", "history", this, [this] { showHistory(); });
  stationsMenu_.addAction(keys);
  // What the favourites' menu offers follows the favourite chosen.
  const auto follow = [this] {
    const std::string name = window_.File1Box.FileName();
    for (QAction* a : favouritesMenu_.actions()) {
      if (a->objectName() == "editstation" || a->objectName() == "remove" || a == stationQuiet_) {
        a->setEnabled(!name.empty());
      }
    }
    stationQuiet_->setChecked(!name.empty() && !log_.stationQuiet(name));
  };
  connect(window_.File1, &QListWidget::itemSelectionChanged, this, follow);
  follow();
  for (QListWidget* list : {window_.List1, window_.File1}) {
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QMenu* menu = list == window_.File1 ? &favouritesMenu_ : &stationsMenu_;
    connect(list, &QWidget::customContextMenuRequested, this, [this, list, menu, follow](const QPoint& at) {
      follow();
      retitle();
      menu->popup(list->viewport()->mapToGlobal(at));
    });
  }

  // Below the tray menu's own five items, which keep their texts and order.
  window_.IconTray.addSeparator();
  Keyed(window_.IconTray, "xplay", "play", &window_.controller(), &StationController::resume);
  history = Keyed(window_.IconTray, "xhistory", "history", this, [this] { showHistory(); });
  notify = Keyed(window_.IconTray, "xnotify", "notify");
  notify->setCheckable(true);
  notify->setChecked(log_.notificationsOn());
  connect(notify, &QAction::triggered, &log_, &SongLog::setNotificationsOn);
  connect(&window_.IconTray, &QMenu::aboutToShow, this, [this] {
    notify->setChecked(log_.notificationsOn());
    retitle();
  });
  sleepMenu_.menuAction()->setProperty("textKey", QByteArray("xsleep"));
  for (const int minutes : {15, 30, 45, 60, 90}) {
    QAction* a = sleepMenu_.addAction(QString(), this, [this, minutes] { sleep_.sleepAfter(std::chrono::minutes(minutes)); });
    a->setProperty("minutes", minutes);
  }
  Keyed(sleepMenu_, "xsleepsong", "sleepsong", this, [this] { sleep_.sleepAtSongEnd(); });
  window_.IconTray.addMenu(&sleepMenu_);
  stationsMenu_.addMenu(&sleepMenu_);
  sleepCancel = Keyed(window_.IconTray, "", "sleepcancel", &sleep_, &SleepControl::cancel);
  alarmItem = Keyed(window_.IconTray, "xalarmmenu", "alarm", this, &Form1Menus::showAlarm);
  recordMenu_.menuAction()->setProperty("textKey", QByteArray("xrecordmenu"));
  recordItem = Keyed(recordMenu_, "xrecord", "record");
  recordItem->setCheckable(true);
  QAction* partial = Keyed(recordMenu_, "xkeeppartial", "keeppartial");
  partial->setCheckable(true);
  const std::string ini = SettingsFile(window_.settingsFolder());
  partial->setChecked(ReadIni(ini, settings::kRecordPartial.section, settings::kRecordPartial.key) != "0");
  recorder_.setKeepPartial(partial->isChecked());
  connect(partial, &QAction::triggered, this, [this, ini](bool keep) {
    recorder_.setKeepPartial(keep);
    WriteIni(ini, settings::kRecordPartial.section, settings::kRecordPartial.key, keep ? "1" : "0");
  });
  Keyed(recordMenu_, "xrecordfolder", "recordfolder", this, [this, ini] {
    const QString folder = QFileDialog::getExistingDirectory(
        &window_, text("xrecordfolder"), QString::fromStdString(RecordingFolder(window_.settingsFolder())));
    if (!folder.isEmpty()) WriteIni(ini, settings::kRecordFolder.section, settings::kRecordFolder.key, folder.toStdString());
  });
  window_.IconTray.addMenu(&recordMenu_);
  stationsMenu_.addMenu(&recordMenu_);
  connect(recordItem, &QAction::triggered, this, [this](bool on) {
    if (!on) return recorder_.stop();
    if (!recorder_.start() && !recorder_.recording()) {
      ShowMessageBox(&window_, QMessageBox::Information, window_.texts().text("error0"),
                     window_.texts().text("xnorecord"));
    }
  });
  connect(&recorder_, &RecordControl::changed, this, [this] {
    recordItem->setChecked(recorder_.recording());
    window_.showStatus();
  });
  connect(&recorder_, &RecordControl::diskFull, this, [this] {
    ShowMessageBoxLater(&window_, QMessageBox::Warning, window_.texts().text("error0"), window_.texts().text("xdiskfull"),
                        "", [] {});
  });
  connect(&sleep_, &SleepControl::changed, this, &Form1Menus::showSleep);
  showSleep();
  addShortcuts();
  retitle();
}

void Form1Menus::showSleep() {
  sleepCancel->setVisible(sleep_.timer().running());
  if (!sleep_.timer().running()) return;
  const long left = sleep_.remaining().count();
  const QString when = sleep_.timer().untilSongEnds() ? text("xsleepatend")
                                                      : QString("%1:%2").arg(left / 60).arg(left % 60, 2, 10, QChar('0'));
  sleepCancel->setText(text("xsleepcancel").arg(when));
}

Form1Menus::~Form1Menus() { delete historyWindow_; }

QString Form1Menus::text(const char* key) const { return QString::fromStdString(window_.texts().text(key)); }

void Form1Menus::retitle() {
  // The language is known only once the settings are read, and may change.
  for (QMenu* menu : {&favouritesMenu_, &stationsMenu_, &window_.IconTray, &sleepMenu_, &recordMenu_}) {
    for (QAction* action : menu->actions()) {
      const QByteArray key = action->property("textKey").toByteArray();
      if (!key.isEmpty()) action->setText(text(key.constData()));
      if (const int minutes = action->property("minutes").toInt()) action->setText(text("xsleepmin").arg(minutes));
    }
  }
  showSleep();
}

void Form1Menus::showShortcuts() {
  ShowMessageBox(&window_, QMessageBox::Information, window_.texts().text("error0"), shortcutsText().toStdString());
}

void Form1Menus::addShortcuts() {
  const auto add = [this](QList<QKeySequence> keys, const char* what, auto&& act) {
    auto* shortcut = new QShortcut(&window_);
    shortcut->setKeys(keys);
    connect(shortcut, &QShortcut::activated, this, act);
    keys_.push_back({keys.front(), what});
  };
  // Space is no shortcut: the buttons and links with the focus take it to press themselves.
  keys_.push_back({Qt::Key_Space, "xplaystop"});
  add({Qt::CTRL | Qt::Key_F}, "label12", [this] { window_.Label12_Click(); });
  add({Qt::CTRL | Qt::Key_L}, "label1", [this] { window_.Label1_Click(); });
  add({Qt::CTRL | Qt::Key_D}, "xaddfav", [this] { window_.Command1_Click(); });
  add({Qt::CTRL | Qt::Key_N}, "xaddstation", [this] {
    AddOwnStation({window_.controller(), window_.File1Box, window_.texts(), window_.boxes(), &window_});
  });
  add({Qt::CTRL | Qt::Key_H}, "xhistory", [this] { showHistory(); });
  add({Qt::Key_Plus, Qt::Key_Equal}, "xvolup", [this] { window_.controller().setVolume(std::min(100, window_.controller().volume() + kVolumeStep)); });
  add({Qt::Key_Minus}, "xvoldown", [this] { window_.controller().setVolume(std::max(0, window_.controller().volume() - kVolumeStep)); });
  add({Qt::Key_M}, "xmute", [this] { toggleMute(); });
  add({Qt::CTRL | Qt::Key_Q}, "xquit", [this] { window_.sluit_Click(); });
  add({Qt::Key_F5}, "xreload", [this] { window_.controller().chooseCountry(window_.controller().countryName(), window_.controller().countryFile()); });
  add({Qt::Key_F1}, "xkeys", [this] { showShortcuts(); });
  for (QWidget* w : std::initializer_list<QWidget*>{&window_, window_.List1, window_.File1, window_.Slider1, window_.WebBrowser1}) {
    w->installEventFilter(this);
  }
}

bool Form1Menus::eventFilter(QObject* watched, QEvent* event) {
  // Where the focus is on no button or link: the lists would take Space to select.
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
      static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
    playOrStop();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

QString Form1Menus::shortcutsText() const {
  QString lines;
  for (const Key& key : keys_) lines += key.keys.toString(QKeySequence::NativeText) + "\t" + text(key.text) + "\n";
  return lines.trimmed();
}

void Form1Menus::playOrStop() {
  StationController& controller = window_.controller();
  if (IsPlaying(controller.player().state().activity)) {
    window_.Command3_Click();
  } else if (window_.File1->hasFocus() && !window_.File1Box.FileName().empty()) {
    window_.File1_Click();
  } else if (window_.List1->hasFocus() && window_.List1->currentRow() >= 0 && !window_.List1->selectedItems().isEmpty()) {
    window_.List1_Click();
  } else if (!controller.station().address().empty()) {
    controller.station().resume();
  } else if (const std::string last = controller.lastAddress(); !last.empty()) {
    controller.openAddress(last);
  }
}

void Form1Menus::toggleMute() {
  StationController& controller = window_.controller();
  if (controller.volume() > 0) {
    volumeBeforeMute_ = controller.volume();
    window_.Label9_Click();
  } else {
    controller.setVolume(volumeBeforeMute_ > 0 ? volumeBeforeMute_ : 50);
  }
}

void Form1Menus::showAlarm() {
  try {
    AlarmDialog dialog(alarm_,
                       Form4::Environment{window_.env_.programFolder, QCoreApplication::applicationFilePath().toStdString(),
                                          window_.texts(), DefaultAutostartFolder(), window_.settingsFolder()},
                       &window_);
    window_.skinDialog(dialog.Image1, dialog.Image2);
    dialog.exec();
  } catch (const std::exception&) {
    window_.boxes().errorBox("error12");
  }
}

HistoryWindow& Form1Menus::showHistory() {
  if (historyWindow_ == nullptr) {
    historyWindow_ = new HistoryWindow(log_, window_.texts(), [this](const std::string& address) {
      window_.openInBrowser(address);
    }, nullptr);
    historyWindow_->setAttribute(Qt::WA_DeleteOnClose);
    window_.skinDialog(historyWindow_->Image1, historyWindow_->Image2);
  }
  historyWindow_->show();
  historyWindow_->raise();
  historyWindow_->activateWindow();
  return *historyWindow_;
}

}  // namespace vandrel
