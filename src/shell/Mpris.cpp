#include "shell/Mpris.h"

#include <QDBusConnection>

#include "player/Form1.h"
#include "shell/MprisPlayer.h"
#include "shell/MprisRoot.h"

namespace vandrel {

bool StartMpris(Form1& form) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  auto* object = new QObject(&form);
  new MprisRoot(object, form);
  new MprisPlayer(object, form);
  if (!bus.registerObject("/org/mpris/MediaPlayer2", object) ||
      !bus.registerService("org.mpris.MediaPlayer2.vandrelradio")) {
    bus.unregisterObject("/org/mpris/MediaPlayer2");
    delete object;
    return false;
  }
  return true;
}

}  // namespace vandrel
