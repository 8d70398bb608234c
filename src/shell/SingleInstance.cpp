#include "shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <unistd.h>

namespace vandrel {

namespace {

constexpr int kHandOverWaitMs = 2000;
constexpr char kRequest[] = "show\n";

}  // namespace

QString SingleInstance::nameFor(const std::string& programFolder) {
  // Each installation keeps its own settings, so each runs once per user.
  const QByteArray folder = QCryptographicHash::hash(QByteArray::fromStdString(programFolder),
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(16);
  return QString("vandrel-radio-%1-%2").arg(::getuid()).arg(QString::fromLatin1(folder));
}

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (socket->readAll().contains("show")) emit activated();
        socket->disconnectFromServer();
      });
    }
  });
}

bool SingleInstance::handOver() {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kHandOverWaitMs)) return false;
  socket.write(kRequest);
  if (!socket.waitForBytesWritten(kHandOverWaitMs)) return false;
  // The running program closes the line once it has the request.
  socket.waitForDisconnected(kHandOverWaitMs);
  return true;
}

bool SingleInstance::listen() {
  if (server_.listen(name_)) return true;
  // Nobody answered handOver, so whatever holds the name is left over.
  QLocalServer::removeServer(name_);
  return server_.listen(name_);
}

}  // namespace vandrel
