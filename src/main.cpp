#include <QApplication>

#include "platform/DirectoryAddress.h"
#include "platform/MpvPlayer.h"
#include "platform/ProgramFolder.h"
#include "platform/QtHttpClient.h"
#include "player/Form1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vandrel Internet Radio");
  QApplication::setDesktopFileName("vandrel-radio");

  const std::string folder = vandrel::ProgramFolder();
  vandrel::QtHttpClient http;
  vandrel::MpvPlayer player;
  vandrel::Form1 form({folder, vandrel::DirectoryBaseAddress(folder), http, player});
  form.show();
  return QApplication::exec();
}
