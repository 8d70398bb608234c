#pragma once

#include <QObject>
#include <string>

#include "core/Playback.h"
#include "core/PlayerState.h"

namespace vandrel {

// The embedded stream player. Setting the address starts playing it at once;
// its signals arrive on the user-interface thread, for any number of listeners.
class MediaPlayer : public QObject, public Playback {
  Q_OBJECT

 public:
  using QObject::QObject;

  virtual void setVolume(int volume) = 0;  // 0 to 100
  virtual int volume() const = 0;
  virtual PlayerState state() const = 0;
  // The stream's own title, empty when it announces none.
  virtual std::string streamTitle() const = 0;
  std::string status() const { return StatusText(state(), streamTitle()); }
  // A play is near (the pointer is over a station list): what playing needs
  // may be got ready now, silently.
  virtual void prepare() {}
  // The network is back, or the system woke up: a station the network took
  // away plays again.
  virtual void networkBack() {}
  // The system is about to sleep: what plays now is opened afresh on waking.
  virtual void suspending() {}
  // Writes the stream as it arrives, not re-encoded, to this file, in place
  // of the file before; "" stops. Any new address or a stop ends it too.
  // False when it cannot record (nothing plays).
  virtual bool record(const std::string& /*path*/) { return false; }
  // The codec of the stream that plays (mpv's name), "" when unknown.
  virtual std::string codec() const { return ""; }

 signals:
  void stateChanged(const PlayerState& state);
  // The stream's own title, empty when it announces none.
  void titleChanged(const QString& title);
  void volumeChanged(int volume);
  // The stream cannot be played: unreachable, unplayable, or its tries spent.
  // Never raised inside a call to the player; the cause in a few words, or empty.
  void errorOccurred(const QString& cause);
};

}  // namespace vandrel
