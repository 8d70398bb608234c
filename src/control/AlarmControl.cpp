#include "control/AlarmControl.h"

#include <algorithm>
#include <cmath>

#include "core/FolderFiles.h"
#include "core/Ini.h"
#include "core/SettingsFile.h"
#include "core/XmlPlaylist.h"
#include "stations/FavouriteFiles.h"

namespace vandrel {

namespace {

constexpr int kLookMs = 20'000;
constexpr int kWaitMs = 20'000;
constexpr int kBells = 60;

}  // namespace

AlarmControl::AlarmControl(Places places, QObject* parent)
    : QObject(parent),
      controller_(places.controller),
      now_(std::move(places.now)),
      steady_(std::move(places.steady)),
      toneAddress_(std::move(places.toneAddress)),
      ring_(std::move(places.bell)),
      setting_(AlarmSetting::Read(ReadIniWhole(SettingsFile(controller_.settingsFolder()), settings::kAlarm.section,
                                               settings::kAlarm.key))),
      lastLook_(now_()) {
  look_.setInterval(kLookMs);
  connect(&look_, &QTimer::timeout, this, &AlarmControl::look);
  if (setting_.on) look_.start();
  ramp_.setInterval(500);
  connect(&ramp_, &QTimer::timeout, this, [this] {
    const double share = AlarmVolumeShare(steady_() - rampStart_);
    controller_.player().setVolume(static_cast<int>(std::lround(share * controller_.volume())));
    if (share >= 1.0) ramp_.stop();
  });
  wait_.setSingleShot(true);
  wait_.setInterval(kWaitMs);
  connect(&wait_, &QTimer::timeout, this, &AlarmControl::tryNext);
  bell_.setInterval(2000);
  connect(&bell_, &QTimer::timeout, this, [this] {
    ring_();
    if (++bells_ >= kBells) bell_.stop();
  });
  connect(&controller_.player(), &MediaPlayer::stateChanged, this, [this](const PlayerState& state) {
    if (!trying_) return;
    if (state.activity == PlayState::Playing) {
      trying_ = false;
      wait_.stop();
      emit sounded(QString::fromStdString(controller_.station().name()));
    } else if (state.activity == PlayState::Error) {
      // Not from inside the player's own signal.
      QTimer::singleShot(0, this, &AlarmControl::tryNext);
    }
  });
}

void AlarmControl::setSetting(const AlarmSetting& setting) {
  setting_ = setting;
  WriteIni(SettingsFile(controller_.settingsFolder()), settings::kAlarm.section, settings::kAlarm.key, setting.saved());
  lastLook_ = now_();
  if (setting_.on) {
    look_.start();
  } else {
    look_.stop();
  }
}

void AlarmControl::look() {
  const LocalMoment now = now_();
  if (AlarmDue(setting_, lastLook_, now)) sound();
  lastLook_ = now;
}

void AlarmControl::sound() {
  const std::string folder = FavouritesFolder(controller_.settingsFolder());
  std::vector<std::string> names;
  try {
    names = ListFolderFiles(folder);
  } catch (const std::exception&) {
    // no favourites: the tone
  }
  tries_.clear();
  for (const std::string& file : AlarmStations(setting_.favourite, names)) {
    const std::string path = FavouriteFile(folder, file);
    tries_.push_back({ReadIni(path, kFavouriteSection, kFavouriteName), ReadIniWhole(path, kFavouriteSection, kFavouriteUrl)});
  }
  tries_.push_back({"Vandrel", toneAddress_});
  std::reverse(tries_.begin(), tries_.end());  // taken from the back
  trying_ = true;
  rampStart_ = steady_();
  controller_.player().setVolume(static_cast<int>(std::lround(AlarmVolumeShare(Millis(0)) * controller_.volume())));
  ramp_.start();
  tryNext();
}

void AlarmControl::tryNext() {
  if (!trying_) return;
  while (!tries_.empty()) {
    const auto [name, address] = tries_.back();
    tries_.pop_back();
    if (!IsOneLineWebRadio(address)) continue;
    wait_.start();
    controller_.station().playNamed(name, address);
    return;
  }
  trying_ = false;
  wait_.stop();
  bells_ = 0;
  bell_.start();
}

}  // namespace vandrel
