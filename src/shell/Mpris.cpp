#include "window/Mpris.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include "core/ProgramFolder.h"
#include "window/Form1.h"
#include "core/Ini.h"
#include "shell/MprisPlayer.h"
#include "shell/MprisRoot.h"

namespace vandrel {

bool StartMpris(Form1& form) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  auto* object = new QObject(&form);
  new MprisRoot(object, [&form] { form.open_Click(); }, [&form] { form.sluit_Click(); });
  const std::string ini = InFolder(form.settingsFolder(), "INST.INI");
  new MprisPlayer(object, {form.player(), form.station(), [&form](int volume) { form.Slider1->setValue(volume); },
                           [&form](const std::string& address) { return form.StationFor(address); },
                           [ini] { return ReadIniWhole(ini, "Onthouden", "LaatsteURL"); }, Form1::kNoStation});
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
