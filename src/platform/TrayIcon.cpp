#include "platform/TrayIcon.h"

namespace vandrel {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
  connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
      case QSystemTrayIcon::Trigger: emit Click(); break;
      case QSystemTrayIcon::DoubleClick: emit DblClick(); break;
      case QSystemTrayIcon::Context: emit RightClick(); break;
      default: break;
    }
  });
}

void TrayIcon::Add(const QIcon& icon) {
  if (icon_.isVisible()) return;
  icon_.setIcon(icon);
  icon_.setToolTip(screenTip_.left(63));
  icon_.show();
}

void TrayIcon::Remove() { icon_.hide(); }

void TrayIcon::setScreenTip(const QString& tip) { screenTip_ = tip; }

bool TrayIcon::Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

}  // namespace vandrel
