#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

namespace vandrel {

class Form1;

// The desktop's media controls, player part: play, stop and volume of the
// main window's player, with the station and stream title as metadata.
// A radio cannot pause: Pause stops, and Play opens the last station again.
class MprisPlayer : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE setVolume)
  Q_PROPERTY(double Rate READ Rate)
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
  MprisPlayer(QObject* object, Form1& form);

  QString PlaybackStatus() const;
  QVariantMap Metadata() const;
  double Volume() const;
  void setVolume(double volume);
  double Rate() const { return 1.0; }
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
  void Notify();

  Form1& form_;
  QVariantMap shown_;
};

}  // namespace vandrel
