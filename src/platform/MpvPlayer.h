#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <map>
#include <string>

#include "platform/MediaPlayer.h"
#include "player/ReconnectPolicy.h"

struct mpv_handle;
struct mpv_event;

namespace vandrel {

// Audio-only stream player on libmpv. mpv's events are collected on the
// user-interface thread: its wakeup callback only posts a call to this object.
//
// A station that was playing and whose stream ends by itself (the connection
// dropped, or the server ended a live stream) is opened again after growing
// pauses; only when those tries are spent does it report its error. A new
// address or close ends the tries.
class MpvPlayer : public QObject, public MediaPlayer {
  Q_OBJECT

 public:
  // Extra mpv options, for example {"ao", "null"} in tests.
  explicit MpvPlayer(const std::map<std::string, std::string>& options = {}, QObject* parent = nullptr);
  ~MpvPlayer() override;

  void setURL(const std::string& address) override;
  std::string URL() const override { return url_; }
  void close() override;
  void setVolume(int volume) override;
  int volume() const override { return volume_; }
  std::string status() const override { return status_; }

  std::string streamTitle() const override { return title_; }

  // For tests: shorter pauses between tries.
  void setReconnectPauses(ReconnectPolicy::Pauses pauses) { reconnect_ = ReconnectPolicy(std::move(pauses)); }

 private:
  enum class State { Stopped, Connecting, Buffering, Playing, Reconnecting, Error };

  void load();
  void failed();
  // A playing stream ended by itself: try again, or give up with an error.
  void dropped();
  Q_INVOKABLE void drainEvents();
  void handle(const mpv_event& event);
  void setState(State state);
  void updateStatus();
  static void wakeup(void* self);

  mpv_handle* mpv_ = nullptr;
  std::string url_;
  std::string status_ = "Stopped";
  std::string title_;
  State state_ = State::Stopped;
  int bufferPercent_ = 0;
  int volume_ = 100;
  std::int64_t currentEntry_ = -1;
  bool played_ = false;  // the current address has played since it was set
  ReconnectPolicy reconnect_;
  QTimer retry_;
  int retryInSeconds_ = 0;
};

}  // namespace vandrel
