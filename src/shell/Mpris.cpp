#include "shell/Mpris.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include "shell/MprisPlayer.h"
#include "shell/MprisRoot.h"

namespace vandrel {

bool StartMpris(QObject* owner, MediaPlayer& player, StationController& controller, std::function<void()> raise,
                std::function<void()> quit) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  auto* object = new QObject(owner);
  new MprisRoot(object, std::move(raise), std::move(quit));
  new MprisPlayer(object, player, controller);
  // A second copy (another installation or folder) takes the name MPRIS
  // gives each further instance of one player.
  const QString name = "org.mpris.MediaPlayer2.vandrelradio";
  if (!bus.registerObject("/org/mpris/MediaPlayer2", object) ||
      (!bus.registerService(name) &&
       !bus.registerService(name + ".instance" + QString::number(QCoreApplication::applicationPid())))) {
    bus.unregisterObject("/org/mpris/MediaPlayer2");
    delete object;
    return false;
  }
  return true;
}

}  // namespace vandrel
