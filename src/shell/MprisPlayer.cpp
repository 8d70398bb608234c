#include "shell/MprisPlayer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <algorithm>
#include <cmath>

#include "platform/ProgramFolder.h"
#include "player/Form1.h"
#include "settings/Ini.h"
#include "shell/BrowserLinks.h"

namespace vandrel {

namespace {

constexpr char kPath[] = "/org/mpris/MediaPlayer2";

bool Sounding(const std::string& status) {
  for (const char* busy : {"Playing", "Buffering", "Connecting", "Reconnecting"}) {
    if (status.rfind(busy, 0) == 0) return true;
  }
  return false;
}

}  // namespace

MprisPlayer::MprisPlayer(QObject* object, Form1& form) : QDBusAbstractAdaptor(object), form_(form) {
  connect(&form_, &Form1::playerStatusShown, this, &MprisPlayer::Notify);
  connect(form_.Slider1, &QSlider::valueChanged, this, &MprisPlayer::Notify);
  shown_ = {{"PlaybackStatus", PlaybackStatus()}, {"Metadata", Metadata()}, {"Volume", Volume()}};
}

QString MprisPlayer::PlaybackStatus() const { return Sounding(form_.player().status()) ? "Playing" : "Stopped"; }

QVariantMap MprisPlayer::Metadata() const {
  const QString station = form_.ZenderNaam->text();
  const QString title = QString::fromStdString(form_.player().streamTitle());
  QVariantMap metadata{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath("/org/vandrel/Radio/Station"))},
                       {"xesam:title", title.isEmpty() ? station : title}};
  if (!title.isEmpty()) metadata["xesam:artist"] = QStringList{station};
  const QString url = QString::fromStdString(form_.player().URL());
  if (!url.isEmpty()) metadata["xesam:url"] = url;
  return metadata;
}

double MprisPlayer::Volume() const { return form_.Slider1->value() / 100.0; }

void MprisPlayer::setVolume(double volume) {
  // Through the slider, so the window and the remembered volume follow.
  form_.Slider1->setValue(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
}

void MprisPlayer::Play() {
  if (Sounding(form_.player().status())) return;
  std::string address = form_.player().URL();
  if (address.empty()) address = ReadIni(InFolder(form_.programFolder(), "INST.INI"), "Onthouden", "LaatsteURL");
  if (!address.empty()) form_.player().setURL(address);
}

void MprisPlayer::Pause() { Stop(); }

void MprisPlayer::PlayPause() {
  if (Sounding(form_.player().status())) {
    Stop();
  } else {
    Play();
  }
}

void MprisPlayer::Stop() { form_.Command3_Click(); }

void MprisPlayer::OpenUri(const QString& uri) {
  if (IsWebAddress(uri.toStdString())) form_.player().setURL(uri.toStdString());
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
