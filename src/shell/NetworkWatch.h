#pragma once

#include <QNetworkInformation>
#include <QObject>

namespace vandrel {

// Tells when the network or the system comes back: from Qt's network
// reachability and logind's sleep signal, each where the system has it.
class NetworkWatch : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  // Listens to the system's sources; the program works on without any.
  void listen();

 public slots:
  void reachabilityChanged(QNetworkInformation::Reachability reachability);
  // logind's PrepareForSleep: true before the sleep, false on waking.
  void prepareForSleep(bool sleeping);

 signals:
  void networkBack();
  void suspending();

 private:
  QNetworkInformation::Reachability reachability_ = QNetworkInformation::Reachability::Unknown;
};

}  // namespace vandrel
