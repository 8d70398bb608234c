#include "shell/NetworkWatch.h"

#include <QDBusConnection>

namespace vandrel {

void NetworkWatch::listen() {
  if (QNetworkInformation::loadDefaultBackend() ||
      QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
    QNetworkInformation* info = QNetworkInformation::instance();
    reachability_ = info->reachability();
    connect(info, &QNetworkInformation::reachabilityChanged, this, &NetworkWatch::reachabilityChanged);
  }
  QDBusConnection::systemBus().connect("org.freedesktop.login1", "/org/freedesktop/login1",
                                       "org.freedesktop.login1.Manager", "PrepareForSleep", this,
                                       SLOT(prepareForSleep(bool)));
}

void NetworkWatch::reachabilityChanged(QNetworkInformation::Reachability reachability) {
  using R = QNetworkInformation::Reachability;
  // A rise to the local site counts too: a station may be on the LAN, and a
  // restarting router takes only the internet away.
  const bool back = reachability > reachability_ && reachability >= R::Site;
  reachability_ = reachability;
  if (back) emit networkBack();
}

void NetworkWatch::prepareForSleep(bool sleeping) {
  if (sleeping) {
    emit suspending();
  } else {
    emit networkBack();
  }
}

}  // namespace vandrel
