#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "control/StationController.h"
#include "stations/Schedule.h"

namespace vandrel {

// The sleep timer at work: it fades the player out over the last half
// minute, stops it, and sets the volume back for the next play. Choosing
// another station keeps it. It ticks only while it runs.
class SleepControl : public QObject {
  Q_OBJECT

 public:
  SleepControl(StationController& controller, std::function<Millis()> now, QObject* parent = nullptr);

  void sleepAfter(std::chrono::minutes minutes);
  void sleepAtSongEnd();
  void cancel();
  const SleepTimer& timer() const { return timer_; }
  std::chrono::seconds remaining() const { return timer_.remaining(now_()); }

 signals:
  // Started, stopped, cancelled, or a second less to go.
  void changed();

 private:
  void apply(SleepTimer::Step step);

  StationController& controller_;
  std::function<Millis()> now_;
  SleepTimer timer_;
  QTimer tick_;
};

}  // namespace vandrel
