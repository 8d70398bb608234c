#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>
#include <string>

#include "control/StationController.h"
#include "platform/MediaPlayer.h"

namespace vandrel {

// The desktop's media controls, player part, built from the player and the
// station controller: play, pause (a live stream goes on live), stop, volume,
// and the station and stream title as metadata.
class MprisPlayer : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  // Written out so that Position can say it sends no change signals.
  Q_CLASSINFO("D-Bus Introspection",
              "<interface name=\"org.mpris.MediaPlayer2.Player\">\n"
              "<method name=\"Next\"/><method name=\"Previous\"/><method name=\"Pause\"/><method name=\"PlayPause\"/>\n"
              "<method name=\"Stop\"/><method name=\"Play\"/>\n"
              "<method name=\"Seek\"><arg name=\"Offset\" type=\"x\" direction=\"in\"/></method>\n"
              "<method name=\"SetPosition\"><arg name=\"TrackId\" type=\"o\" direction=\"in\"/><arg name=\"Position\" type=\"x\" direction=\"in\"/></method>\n"
              "<method name=\"OpenUri\"><arg name=\"Uri\" type=\"s\" direction=\"in\"/></method>\n"
              "<signal name=\"Seeked\"><arg name=\"Position\" type=\"x\"/></signal>\n"
              "<property name=\"PlaybackStatus\" type=\"s\" access=\"read\"/>\n"
              "<property name=\"Rate\" type=\"d\" access=\"readwrite\"/>\n"
              "<property name=\"Metadata\" type=\"a{sv}\" access=\"read\">\n"
              "<annotation name=\"org.qtproject.QtDBus.QtTypeName\" value=\"QVariantMap\"/>\n"
              "</property>\n"
              "<property name=\"Volume\" type=\"d\" access=\"readwrite\"/>\n"
              "<property name=\"Position\" type=\"x\" access=\"read\">\n"
              "<annotation name=\"org.freedesktop.DBus.Property.EmitsChangedSignal\" value=\"false\"/>\n"
              "</property>\n"
              "<property name=\"MinimumRate\" type=\"d\" access=\"read\"/>\n"
              "<property name=\"MaximumRate\" type=\"d\" access=\"read\"/>\n"
              "<property name=\"CanGoNext\" type=\"b\" access=\"read\"/>\n"
              "<property name=\"CanGoPrevious\" type=\"b\" access=\"read\"/>\n"
              "<property name=\"CanPlay\" type=\"b\" access=\"read\"/>\n"
              "<property name=\"CanPause\" type=\"b\" access=\"read\"/>\n"
              "<property name=\"CanSeek\" type=\"b\" access=\"read\"/>\n"
              "<property name=\"CanControl\" type=\"b\" access=\"read\">\n"
              "<annotation name=\"org.freedesktop.DBus.Property.EmitsChangedSignal\" value=\"const\"/>\n"
              "</property>\n"
              "</interface>\n")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE setVolume)
  Q_PROPERTY(double Rate READ Rate WRITE setRate)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(bool CanGoNext READ No)
  Q_PROPERTY(bool CanGoPrevious READ No)
  Q_PROPERTY(bool CanPlay READ Yes)
  Q_PROPERTY(bool CanPause READ Yes)
  Q_PROPERTY(bool CanSeek READ No)
  Q_PROPERTY(bool CanControl READ Yes)

 public:
  MprisPlayer(QObject* object, MediaPlayer& player, StationController& controller);

  QString PlaybackStatus() const;
  QVariantMap Metadata() const;
  double Volume() const;
  void setVolume(double volume);
  double Rate() const { return 1.0; }
  void setRate(double) {}  // a live stream has one speed
  qlonglong Position() const { return 0; }
  bool No() const { return false; }
  bool Yes() const { return true; }

 public slots:
  void Play();
  void Pause();
  void PlayPause();
  void Stop();
  void Next() {}
  void Previous() {}
  void Seek(qlonglong) {}
  void SetPosition(const QDBusObjectPath&, qlonglong) {}
  void OpenUri(const QString& uri);

 signals:
  void Seeked(qlonglong position);

 private:
  // Tells the bus which properties changed since it was last told.
  void notify();

  StationController& controller_;
  // What the player said last.
  PlayerState state_;
  QString title_;
  int volume_;
  QVariantMap shown_;
};

}  // namespace vandrel
