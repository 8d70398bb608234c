#include "shell/MprisPlayer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QPointer>
#include <algorithm>
#include <cmath>

#include "core/BrowserLinks.h"

namespace vandrel {

namespace {

constexpr char kPath[] = "/org/mpris/MediaPlayer2";

}  // namespace

MprisPlayer::MprisPlayer(QObject* object, Ports ports) : QDBusAbstractAdaptor(object), ports_(std::move(ports)) {
  connect(&ports_.player, &MediaPlayer::stateChanged, this, &MprisPlayer::Notify);
  connect(&ports_.player, &MediaPlayer::titleChanged, this, &MprisPlayer::Notify);
  connect(&ports_.player, &MediaPlayer::volumeChanged, this, &MprisPlayer::Notify);
  // The station outlives this adaptor when the bus refuses us.
  ports_.station.OnChange([self = QPointer<MprisPlayer>(this)] {
    if (self) self->Notify();
  });
  shown_ = {{"PlaybackStatus", PlaybackStatus()}, {"Metadata", Metadata()}, {"Volume", Volume()}};
}

QString MprisPlayer::PlaybackStatus() const {
  // Playing while there is sound or sound is on its way; a pause before
  // the next try is none.
  switch (ports_.player.state().activity) {
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
  const QString station =
      ports_.station.name() == ports_.noStation ? QString() : QString::fromStdString(ports_.station.name());
  const QString title = QString::fromStdString(ports_.player.streamTitle());
  QVariantMap metadata{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath("/org/vandrel/Radio/Station"))},
                       {"xesam:title", title.isEmpty() ? station : title}};
  if (!title.isEmpty()) metadata["xesam:artist"] = QStringList{station};
  const QString url = QString::fromStdString(ports_.station.address());
  if (!url.isEmpty()) metadata["xesam:url"] = url;
  return metadata;
}

double MprisPlayer::Volume() const { return ports_.player.volume() / 100.0; }

void MprisPlayer::setVolume(double volume) {
  ports_.setVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
}

void MprisPlayer::Play() {
  if (PlaybackStatus() == "Playing") return;
  if (!ports_.station.address().empty()) {
    ports_.station.Continue();
  } else if (const std::string last = ports_.lastAddress(); !last.empty()) {
    ports_.station.Open(last);
  }
}

void MprisPlayer::Pause() { ports_.station.Pause(); }

void MprisPlayer::PlayPause() {
  if (PlaybackStatus() == "Playing") {
    Pause();
  } else {
    Play();
  }
}

void MprisPlayer::Stop() { ports_.station.Stop(); }

void MprisPlayer::OpenUri(const QString& uri) {
  const std::string address = uri.toStdString();
  if (IsWebAddress(address)) ports_.station.Play(ports_.stationFor(address));
}

void MprisPlayer::Notify() {
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
