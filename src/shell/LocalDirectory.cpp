#include "shell/LocalDirectory.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

namespace vandrel {

namespace {

bool Answers(const QString& host, quint16 port) {
  QTcpSocket socket;
  socket.connectToHost(host, port);
  return socket.waitForConnected(300);
}

}  // namespace

bool LocalDirectory::ensureRunning(const std::string& programFolder, const std::string& baseAddress) {
  const QUrl base(QString::fromStdString(baseAddress));
  const QString host = base.host();
  if (host != "127.0.0.1" && host != "localhost") return false;
  const quint16 port = static_cast<quint16>(base.port(80));
  if (Answers(host, port)) return true;

  const QString folder = QString::fromStdString(programFolder);
  const QString program = folder + "/vandrel-directory";
  const QString data = folder + "/directory";
  if (!QFileInfo(program).isExecutable() || !QFileInfo(data).isDir()) return false;
  server_.setProgram(program);
  server_.setArguments({"serve", data, "--host", "127.0.0.1", "--port", QString::number(port), "--quiet"});
  server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  // However the player ends, a crash or kill -9 too, its server ends with
  // it instead of holding the port.
  server_.setChildProcessModifier([parent = ::getpid()] {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(0);  // the player died before the line above
  });
  server_.start();
  if (!server_.waitForStarted(3000)) return false;
  // The first list is asked for a second after start; be ready well before.
  QDeadlineTimer deadline(3000);
  while (!deadline.hasExpired()) {
    if (Answers("127.0.0.1", port)) return true;
    if (server_.state() == QProcess::NotRunning) return false;
    QThread::msleep(50);
  }
  return false;
}

LocalDirectory::~LocalDirectory() {
  if (server_.state() == QProcess::NotRunning) return;
  server_.terminate();
  if (!server_.waitForFinished(2000)) server_.kill();
}

}  // namespace vandrel
