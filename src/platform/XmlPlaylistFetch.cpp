#include "platform/XmlPlaylistFetch.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <chrono>
#include <utility>

#include "core/StreamAddress.h"
#include "core/XmlPlaylist.h"

namespace vandrel {

namespace {

constexpr int kMaxRedirects = 20;  // as for the streams themselves
constexpr auto kTimeLimit = std::chrono::seconds(10);
// Qt reads ahead without end while the window is busy, unless told this.
constexpr qint64 kReadAhead = 64 * 1024;

}  // namespace

XmlPlaylistFetch::XmlPlaylistFetch(QObject* parent) : QObject(parent) {
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, [this] { finish(""); });
}

XmlPlaylistFetch::~XmlPlaylistFetch() { cancel(); }

void XmlPlaylistFetch::start(const std::string& address, Done done) {
  cancel();
  done_ = std::move(done);
  if (!IsWebRadioAddress(address)) {
    finish("");
    return;
  }
  if (!manager_) manager_ = new QNetworkAccessManager(this);
  QNetworkRequest request(QUrl(QString::fromStdString(address)));
  request.setHeader(QNetworkRequest::UserAgentHeader, "Vandrel Internet Radio");
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setMaximumRedirectsAllowed(kMaxRedirects);
  body_.clear();
  reply_ = manager_->get(request);
  reply_->setReadBufferSize(kReadAhead);
  deadline_.start(kTimeLimit);
  connect(reply_, &QNetworkReply::redirected, this, [this](const QUrl& url) {
    if (!IsWebRadioAddress(url.toString().toStdString())) finish("");
  });
  connect(reply_, &QNetworkReply::readyRead, this, [this] {
    // One byte past the bound tells a playlist too long from one that fits.
    body_ += reply_->read(static_cast<qint64>(kMaxXmlPlaylistBytes) + 1 - body_.size());
    if (body_.size() > static_cast<qsizetype>(kMaxXmlPlaylistBytes)) finish("");
  });
  connect(reply_, &QNetworkReply::finished, this, [this] {
    body_ += reply_->read(static_cast<qint64>(kMaxXmlPlaylistBytes) + 1 - body_.size());
    if (reply_->error() != QNetworkReply::NoError || body_.size() > static_cast<qsizetype>(kMaxXmlPlaylistBytes)) {
      finish("");
      return;
    }
    const auto streams = XmlPlaylistStreams(std::string_view(body_.constData(), static_cast<std::size_t>(body_.size())));
    finish(streams.empty() ? std::string() : AsM3u(streams));
  });
}

void XmlPlaylistFetch::cancel() {
  if (done_) finish("");
}

void XmlPlaylistFetch::finish(const std::string& m3u) {
  deadline_.stop();
  if (reply_) {
    reply_->disconnect(this);
    reply_->abort();
    reply_->deleteLater();
  }
  body_.clear();
  if (Done done = std::exchange(done_, nullptr)) done(m3u);
}

}  // namespace vandrel
