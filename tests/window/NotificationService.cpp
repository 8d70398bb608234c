// A notification service for tests: prints each notification, "id<TAB>replaces<TAB>app icon<TAB>summary<TAB>body".
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QStringList>
#include <QVariantMap>
#include <cstdio>

class Notifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public slots:
  QStringList GetCapabilities() { return {"body", "body-markup"}; }
  uint Notify(const QString&, uint replaces, const QString& icon, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap&, int) {
    const uint id = replaces != 0 ? replaces : ++last_;
    std::printf("%u\t%u\t%s\t%s\t%s\n", id, replaces, qPrintable(icon), qPrintable(summary), qPrintable(body));
    std::fflush(stdout);
    return id;
  }

 private:
  uint last_ = 0;
};

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Notifications service;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject("/org/freedesktop/Notifications", &service, QDBusConnection::ExportAllSlots) ||
      !bus.registerService("org.freedesktop.Notifications")) {
    std::fprintf(stderr, "cannot own org.freedesktop.Notifications\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  return app.exec();
}

#include "NotificationService.moc"
