#include "shell/MprisPlayer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <algorithm>
#include <cmath>

namespace vandrel {

namespace {

constexpr char kPath[] = "/org/mpris/MediaPlayer2";

}  // namespace

MprisPlayer::MprisPlayer(QObject* object, MediaPlayer& player, StationController& controller)
    : QDBusAbstractAdaptor(object),
      controller_(controller),
      state_(player.state()),
      title_(QString::fromStdString(player.streamTitle())),
      volume_(player.volume()) {
  connect(&player, &MediaPlayer::stateChanged, this, [this](const PlayerState& state) {
    state_ = state;
    notify();
  });
  connect(&player, &MediaPlayer::titleChanged, this, [this](const QString& title) {
    title_ = title;
    notify();
  });
  connect(&player, &MediaPlayer::volumeChanged, this, [this](int volume) {
    volume_ = volume;
    notify();
  });
  connect(&controller, &StationController::stationChanged, this, &MprisPlayer::notify);
  shown_ = {{"PlaybackStatus", PlaybackStatus()}, {"Metadata", Metadata()}, {"Volume", Volume()}};
}

QString MprisPlayer::PlaybackStatus() const {
  // Playing while there is sound or sound is on its way; a pause before
  // the next try is none.
  switch (state_.activity) {
    case PlayState::Connecting:
    case PlayState::Buffering:
    case PlayState::Playing: return "Playing";
    case PlayState::Paused:
    case PlayState::Reconnecting: return "Paused";
    case PlayState::Stopped:
    case PlayState::Error: return "Stopped";
  }
  return "Stopped";
}

QVariantMap MprisPlayer::Metadata() const {
  const CurrentStation& current = controller_.station();
  // The name shown before any station is: none on the bus.
  const QString station =
      current.name() == StationController::kNoStation ? QString() : QString::fromStdString(current.name());
  QVariantMap metadata{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath("/org/vandrel/Radio/Station"))},
                       {"xesam:title", title_.isEmpty() ? station : title_}};
  if (!title_.isEmpty()) metadata["xesam:artist"] = QStringList{station};
  const QString url = QString::fromStdString(current.address());
  if (!url.isEmpty()) metadata["xesam:url"] = url;
  return metadata;
}

double MprisPlayer::Volume() const { return volume_ / 100.0; }

void MprisPlayer::setVolume(double volume) {
  controller_.setVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
}

void MprisPlayer::Play() { controller_.resume(); }

void MprisPlayer::Pause() { controller_.station().pause(); }

void MprisPlayer::PlayPause() {
  if (PlaybackStatus() == "Playing") {
    Pause();
  } else {
    Play();
  }
}

void MprisPlayer::Stop() { controller_.station().stop(); }

void MprisPlayer::OpenUri(const QString& uri) { controller_.openAddress(uri.toStdString()); }

void MprisPlayer::notify() {
  const QVariantMap now{{"PlaybackStatus", PlaybackStatus()}, {"Metadata", Metadata()}, {"Volume", Volume()}};
  QVariantMap changed;
  for (auto it = now.begin(); it != now.end(); ++it) {
    if (shown_.value(it.key()) != it.value()) changed[it.key()] = it.value();
  }
  if (changed.isEmpty()) return;
  shown_ = now;
  QDBusMessage signal = QDBusMessage::createSignal(kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
  signal << QString("org.mpris.MediaPlayer2.Player") << changed << QStringList();
  QDBusConnection::sessionBus().send(signal);
}

}  // namespace vandrel
