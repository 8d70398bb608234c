#include "shell/DesktopNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace vandrel {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr int kCallTimeoutMs = 5000;
constexpr int kShownMs = 6000;

QDBusMessage Call(const char* method) { return QDBusMessage::createMethodCall(kService, kPath, kService, method); }

}  // namespace

DesktopNotifications::DesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

void DesktopNotifications::notify(std::uint32_t replaces, const std::string& summary, const std::string& body,
                                  std::function<void(std::uint32_t id)> shown) {
  if (!bus_.isConnected()) {
    shown(0);
    return;
  }
  const auto send = [this, replaces, summary, body, shown = std::move(shown)] {
    QString text = QString::fromStdString(body);
    // Titles come from the stream: never markup, also where the service has not said what it reads.
    if (markup_ != Markup::Plain) text = text.toHtmlEscaped();
    QDBusMessage call = Call("Notify");
    call << QStringLiteral("Vandrel Internet Radio") << static_cast<uint>(replaces)
         << QStringLiteral("org.vandrel.Radio") << QString::fromStdString(summary) << text << QStringList()
         << QVariantMap{{"desktop-entry", QStringLiteral("org.vandrel.Radio")},
                        {"category", QStringLiteral("x-vandrel.song")}}
         << kShownMs;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [shown, watcher] {
      QDBusPendingReply<uint> reply = *watcher;
      watcher->deleteLater();
      shown(reply.isValid() ? reply.value() : 0);
    });
  };
  if (markup_ != Markup::Unknown) {
    send();
    return;
  }
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(Call("GetCapabilities"), kCallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, send] {
    QDBusPendingReply<QStringList> reply = *watcher;
    watcher->deleteLater();
    if (!reply.isValid()) {
      // No service (yet): asked again with the next title.
      send();
      return;
    }
    markup_ = reply.value().contains("body-markup") ? Markup::Read : Markup::Plain;
    send();
  });
}

}  // namespace vandrel
