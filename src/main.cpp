#include <QApplication>

#include "core/DirectoryAddress.h"
#include "core/ProgramFolder.h"
#include "platform/MpvPlayer.h"
#include "platform/QtHttpClient.h"
#include "platform/TerminationSignal.h"
#include "shell/LocalDirectory.h"
#include "shell/Mpris.h"
#include "shell/NetworkWatch.h"
#include "shell/SingleInstance.h"
#include "window/Form1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vandrel Internet Radio");
  QApplication::setDesktopFileName("org.vandrel.Radio");
  // The program lives on in the notification area when its window closes.
  QApplication::setQuitOnLastWindowClosed(false);

  const std::string folder = vandrel::ProgramFolder();
  vandrel::SingleInstance instance(vandrel::SingleInstance::nameFor(folder));
  if (instance.handOver()) return 0;  // the running one shows its window
  instance.listen();
  // An installation the user may not write keeps their settings in their own folder.
  const vandrel::SettingsPlace settings = vandrel::PrepareSettingsFolder(folder, vandrel::UserSettingsFolder());
  const std::string base = vandrel::DirectoryBaseAddress(folder);
  vandrel::LocalDirectory directory;
  directory.ensureRunning(folder, base);
  // Lists fetched before are revalidated from a hidden folder beside the settings.
  vandrel::QtHttpClient http({}, vandrel::InFolder(settings.folder, ".listcache"));
  vandrel::MpvPlayer player;
  // Shown or not by its own start-up sequence.
  vandrel::Form1 form({.programFolder = folder, .baseAddress = base, .http = http, .player = player,
                       .settingsFolder = settings.folder});
  if (!settings.writable) form.settingsNotWritable(vandrel::UserSettingsFolder());
  vandrel::OnTerminationSignal([&form] { form.sluit_Click(); });
  QObject::connect(&instance, &vandrel::SingleInstance::activated, &form, &vandrel::Form1::open_Click);
  vandrel::StartMpris(&form, player, form.controller(), [&form] { form.open_Click(); },
                      [&form] { form.sluit_Click(); });
  // A station lost with the network or a sleep plays again when they are back.
  vandrel::NetworkWatch network;
  QObject::connect(&network, &vandrel::NetworkWatch::networkBack, &player, &vandrel::MediaPlayer::networkBack);
  QObject::connect(&network, &vandrel::NetworkWatch::suspending, &player, &vandrel::MediaPlayer::suspending);
  network.listen();
  return QApplication::exec();
}
