#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <string>

class QNetworkAccessManager;
class QNetworkReply;

namespace vandrel {

// Fetches an ASX or XSPF playlist for the player without holding up the
// window: bounded in bytes, redirects and time, http and https only.
class XmlPlaylistFetch : public QObject {
  Q_OBJECT

 public:
  // The playlist's streams as an M3U text, or the empty text when it had none.
  using Done = std::function<void(const std::string& m3u)>;

  explicit XmlPlaylistFetch(QObject* parent = nullptr);
  ~XmlPlaylistFetch() override;

  // done is called once: at once for an address that is no web radio, else
  // later or from cancel(). A fetch under way is cancelled first.
  void start(const std::string& address, Done done);
  // A fetch under way ends now, with the empty text.
  void cancel();

 private:
  void finish(const std::string& m3u);

  QNetworkAccessManager* manager_ = nullptr;  // made at the first fetch
  QPointer<QNetworkReply> reply_;
  QByteArray body_;
  QTimer deadline_;
  Done done_;
};

}  // namespace vandrel
