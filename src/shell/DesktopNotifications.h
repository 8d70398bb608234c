#pragma once

#include <QDBusConnection>
#include <QObject>

#include "stations/SongNotifier.h"

namespace vandrel {

// The freedesktop notification service on the session bus. Calls never
// wait: the answer comes from the event loop, and with no service there is
// simply no notification. Answers still on their way when this object goes
// are dropped with it.
class DesktopNotifications : public QObject, public NotificationBus {
  Q_OBJECT

 public:
  explicit DesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

  void notify(std::uint32_t replaces, const std::string& summary, const std::string& body,
              std::function<void(std::uint32_t id)> shown) override;

 private:
  QDBusConnection bus_;
  // Services that read markup in the body get it escaped; the others show it as it stands.
  enum class Markup { Unknown, Read, Plain } markup_ = Markup::Unknown;
};

}  // namespace vandrel
