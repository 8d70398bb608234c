#include "platform/QtHttpClient.h"

#include <malloc.h>

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include "core/Gunzip.h"
#include "core/TextDecoding.h"

namespace vandrel {

namespace {

// How far Qt's network thread reads ahead of us. Without a bound it buffers
// all that arrives until the cap is checked, hundreds of MB for a fast
// endless body.
constexpr qint64 kReadAhead = 64 * 1024;

// An error status still is an answer, whose page the caller gets as text.
// Every other error (no connection, a body cut short, a broken encoding) is
// no answer.
bool IsAnswer(QNetworkReply::NetworkError error, int status) {
  if (status == 0) return false;
  if (error == QNetworkReply::NoError) return true;
  const bool contentOrServer = (error >= QNetworkReply::ContentAccessDenied && error < QNetworkReply::ProtocolUnknownError) ||
                               (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
  return status >= 400 && contentOrServer;
}

}  // namespace

QtHttpClient::QtHttpClient() : QtHttpClient(Limits{}) {}

QtHttpClient::QtHttpClient(Limits limits, std::string cacheFolder) : limits_(limits) {
  if (!cacheFolder.empty()) cache_.emplace(std::move(cacheFolder));
}

std::string QtHttpClient::OpenURL(const std::string& address) {
  // The address is used as it stands: TolerantMode keeps what the server
  // should see and only encodes what cannot travel raw (blanks, for example).
  const QUrl url(QString::fromStdString(address), QUrl::TolerantMode);
  if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https")) {
    throw HttpError("not a web address: " + address);
  }

  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setMaximumRedirectsAllowed(limits_.maxRedirects);
  request.setTransferTimeout(static_cast<int>(limits_.timeout.count()));
  request.setHeader(QNetworkRequest::UserAgentHeader, "Vandrel Internet Radio");
  // Unpacked by ListFetch: this Qt's own gzip decoding ends large bodies
  // early without an error, and a cut list would look like a whole one.
  const ListFetch fetch(cache_ ? &*cache_ : nullptr, address);
  for (const auto& [name, value] : fetch.requestHeaders()) request.setRawHeader(name.c_str(), value.c_str());

  QNetworkReply* reply = manager_.get(request);
  reply->setReadBufferSize(kReadAhead);
  QByteArray body;
  bool tooLarge = false;
  bool timedOut = false;

  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, reply, [&] {
    timedOut = true;
    reply->abort();
  });
  QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
    body += reply->readAll();
    if (body.size() > limits_.maxBodyBytes) {
      tooLarge = true;
      reply->abort();
    }
  });
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  deadline.start(limits_.timeout);
  if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  deadline.stop();

  // An aborted reply is closed, and reading it would only warn.
  if (!tooLarge && reply->isOpen()) body += reply->readAll();
  const auto error = reply->error();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const std::string errorText = reply->errorString().toStdString();
  const auto header = [reply](const char* name) { return reply->rawHeader(name).toStdString(); };
  const std::string encoding = header("Content-Encoding"), etag = header("ETag"), modified = header("Last-Modified");
  reply->deleteLater();

  if (tooLarge || body.size() > limits_.maxBodyBytes) {
    // The allocator would keep the refused megabytes for the rest of the run.
    body = QByteArray();
    ::malloc_trim(0);
    throw HttpError("answer too large: " + address);
  }
  if (timedOut) throw HttpError("no answer in time: " + address);
  if (!IsAnswer(error, status)) throw HttpError(errorText);
  try {
    const std::string whole = fetch.Body(status, encoding, etag, modified, body.toStdString(),
                                         static_cast<std::size_t>(limits_.maxBodyBytes));
    return DecodeBodyText(whole);
  } catch (const GunzipError& broken) {
    throw HttpError(broken.what() + (": " + address));
  }
}

}  // namespace vandrel
