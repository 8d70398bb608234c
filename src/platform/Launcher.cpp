#include "platform/Launcher.h"

#include <QDesktopServices>
#include <QUrl>

namespace vandrel {

void DesktopLauncher::open(const std::string& address) {
  if (!QDesktopServices::openUrl(QUrl(QString::fromStdString(address)))) {
    throw LaunchError("no program opened " + address);
  }
}

}  // namespace vandrel
