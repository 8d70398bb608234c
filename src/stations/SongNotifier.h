#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vandrel {

// The desktop's notification service, as the notifier needs it.
class NotificationBus {
 public:
  virtual ~NotificationBus() = default;
  // Shows a notification in place of `replaces` (0: a new one). `shown` gets
  // the id the service gave it, or 0 when it could not be shown; it may come
  // later, from the event loop.
  virtual void notify(std::uint32_t replaces, const std::string& summary, const std::string& body,
                      std::function<void(std::uint32_t id)> shown) = 0;
};

// Says the new title on the desktop: one notification that each title
// replaces, none while the window is in front (the title shows there), none
// for a station switched off, none twice for the same title.
class SongNotifier {
 public:
  explicit SongNotifier(NotificationBus& bus) : bus_(bus) {}

  void setEnabled(bool enabled) { enabled_ = enabled; }
  bool enabled() const { return enabled_; }

  // A title shown for a station. windowActive: the window has the focus;
  // stationQuiet: notifications are off for this station.
  void titleChanged(const std::string& station, const std::string& title, bool windowActive, bool stationQuiet);

 private:
  void send();

  NotificationBus& bus_;
  bool enabled_ = true;
  std::uint32_t id_ = 0;
  std::string station_;
  std::string title_;
  // A title that came while the service had not yet answered: sent with the
  // answer's id, so that a burst of titles leaves one notification.
  bool waiting_ = false;
  bool queued_ = false;
};

}  // namespace vandrel
