#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>
#include <functional>

namespace vandrel {

// The desktop's media controls, general part: who we are, raise and quit.
class MprisRoot : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  MprisRoot(QObject* object, std::function<void()> raise, std::function<void()> quit);

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return "Vandrel Internet Radio"; }
  QString DesktopEntry() const { return "org.vandrel.Radio"; }
  QStringList SupportedUriSchemes() const { return {"http", "https"}; }
  QStringList SupportedMimeTypes() const {
    return {"audio/mpeg",     "audio/aac",          "audio/aacp",       "audio/ogg",
            "application/ogg", "audio/x-vorbis+ogg", "audio/opus",       "audio/x-opus+ogg",
            "audio/flac",     "audio/x-flac",       "audio/x-scpls",    "audio/x-mpegurl",
            "audio/mpegurl",  "application/vnd.apple.mpegurl", "video/x-ms-asf", "audio/x-ms-asx",
            "application/xspf+xml"};
  }

 public slots:
  void Raise();
  void Quit();

 private:
  std::function<void()> raise_, quit_;
};

}  // namespace vandrel
