// The window's start-up and close: what the settings file remembers.
#include <QCursor>
#include <charconv>
#include <exception>
#include <stdexcept>

#include "core/Ini.h"
#include "core/SettingsFile.h"
#include "platform/MessageBox.h"
#include "platform/WindowGeometry.h"
#include "stations/FavouriteFiles.h"
#include "window/Form1.h"

namespace vandrel {

namespace {

// The volume when the settings file holds no usable one.
constexpr int kDefaultVolume = 50;

// A remembered volume: a whole number the slider can show.
int VolumeValue(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 100) {
    throw std::invalid_argument("volume");
  }
  return value;
}

std::string Read(const std::string& ini, SettingKey setting) { return ReadIni(ini, setting.section, setting.key); }

}  // namespace

void Form1::waitForTray() {
  const auto until = std::chrono::steady_clock::now() + env_.trayWait;
  trayWait_.setInterval(250);
  connect(&trayWait_, &QTimer::timeout, this, [this, until] {
    if (TrayIcon::Available()) return trayWait_.stop();
    if (std::chrono::steady_clock::now() < until) return;
    trayWait_.stop();
    // Without a notification area a hidden window could never be reached.
    show();
  });
  trayWait_.start();
}

void Form1::Timer3_Timer() {
  // One run only: a failure is reported once instead of every 200 ms, and
  // the steps after it still take place.
  Timer3.stop();
  const std::string ini = SettingsFile(settingsFolder());
  bool failed = false;
  setGeometry(RestoredGeometry(QString::fromStdString(Read(ini, settings::kGeometry)), minimumSize()));
  if (Read(ini, settings::kMaximized) == "1") setWindowState(windowState() | Qt::WindowMaximized);
  if (Read(ini, settings::kShowWindow) == "1") {
    show();
  } else {
    // The platform puts a shown icon into a notification area that comes
    // later, even after the wait.
    TrayIcon1.Add(windowIcon());
    if (!TrayIcon::Available()) waitForTray();
  }
  CurrentStation& station = controller_.station();
  if (Read(ini, settings::kPlayAtStart) == "1") station.open(controller_.lastAddress());
  controller_.restoreCountry(Read(ini, settings::kLastCountryName), Read(ini, settings::kLastCountryFileRead));
  station.restore(Read(ini, settings::kLastName));
  try {
    controller_.setVolume(VolumeValue(Read(ini, settings::kVolume)));
  } catch (const std::exception&) {
    failed = true;
    controller_.setVolume(kDefaultVolume);
  }
  try {
    File1Box.setPath(FavouritesFolder(settingsFolder()));
    controller_.setFavouritesFolder(File1Box.Path());
  } catch (const std::exception&) {
    failed = true;
  }
  if (failed) boxes_.errorBox("error17");
}

void Form1::closeEvent(QCloseEvent* event) {
  bool cancel = false;
  Form_Unload(cancel);
  if (cancel) {
    event->ignore();
  } else {
    event->accept();
  }
}

void Form1::Form_Unload(bool& cancel) {
  using namespace settings;
  const std::string ini = SettingsFile(settingsFolder());
  const CurrentStation& station = controller_.station();
  const auto value = [](SettingKey setting, std::string text) -> IniValue {
    return {setting.section, setting.key, std::move(text)};
  };
  // One replace: a kill while closing never pairs one station's name with another's address.
  WriteIniValues(ini, {value(kLastName, station.name()),
                       value(kLastUrl, station.address()),
                       value(kVolume, std::to_string(controller_.volume())),
                       value(kLastCountryName, TaalGeselecteerdTekst->text().toStdString()),
                       value(kLastCountryFileWritten, controller_.countryFile()),
                       value(kGeometry, GeometryText(isMaximized() ? normalGeometry() : geometry()).toStdString()),
                       value(kMaximized, isMaximized() ? "1" : "0")});
  // Without a notification area the window could not come back once hidden,
  // so closing it ends the program.
  if (Read(ini, kCloseEnds) == "1" || !TrayIcon::Available()) {
    TrayIcon1.Remove();
    Timer4.stop();
    env_.endProgram();
    return;
  }
  cancel = true;
  hide();
  TrayIcon1.Add(windowIcon());
}

void Form1::Timer4_Timer() {
  Timer4.stop();
  TrayIcon1.Remove();
  env_.endProgram();
}

void Form1::TrayIcon1_Click() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
  TrayIcon1.Remove();
}

void Form1::open_Click() { TrayIcon1_Click(); }

void Form1::settingsNotWritable(const std::string& userFolder) {
  QTimer::singleShot(0, this, [this, userFolder] {
    const std::string folders = "\n\n" + env_.programFolder + (userFolder.empty() ? "" : "\n" + userFolder);
    ShowMessageBox(this, QMessageBox::Warning, texts_.text("error0"), texts_.text("error19") + folders);
  });
}

void Form1::TrayIcon1_RightClick() { IconTray.popup(QCursor::pos()); }

void Form1::sluit_Click() {
  Timer4.start();
  close();
}

}  // namespace vandrel
