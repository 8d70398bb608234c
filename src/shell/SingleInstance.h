#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <string>

namespace vandrel {

// One running program per installation and user: a second start hands over
// to the first (which brings its window forward) and ends.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // The name of the local socket of a program folder.
  static QString nameFor(const std::string& programFolder);

  explicit SingleInstance(QString name, QObject* parent = nullptr);

  // Asks a running program to come forward; true when one took it.
  bool handOver();
  // Becomes the running program. A socket left by a program that crashed
  // is removed first; false only when listening is impossible.
  bool listen();

 signals:
  void activated();  // a second start asked the window to come forward

 private:
  QString name_;
  QLocalServer server_;
};

}  // namespace vandrel
