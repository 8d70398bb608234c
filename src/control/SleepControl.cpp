#include "control/SleepControl.h"

#include <cmath>

namespace vandrel {

SleepControl::SleepControl(StationController& controller, std::function<Millis()> now, QObject* parent)
    : QObject(parent), controller_(controller), now_(std::move(now)) {
  tick_.setInterval(250);
  connect(&tick_, &QTimer::timeout, this, [this] {
    apply(timer_.at(now_()));
    emit changed();
  });
  connect(&controller_.player(), &MediaPlayer::titleChanged, this, [this](const QString& title) {
    if (!title.isEmpty()) apply(timer_.titleChanged());
  });
}

void SleepControl::sleepAfter(std::chrono::minutes minutes) {
  cancel();
  timer_.start(now_(), minutes);
  tick_.start();
  emit changed();
}

void SleepControl::sleepAtSongEnd() {
  cancel();
  timer_.startUntilSongEnds();
  emit changed();
}

void SleepControl::cancel() {
  timer_.cancel();
  tick_.stop();
  controller_.player().setVolume(controller_.volume());
  emit changed();
}

void SleepControl::apply(SleepTimer::Step step) {
  if (step.stop) {
    tick_.stop();
    controller_.station().stop();
    controller_.player().setVolume(controller_.volume());
    emit changed();
    return;
  }
  if (!timer_.running() || timer_.untilSongEnds()) return;
  // Only the player's volume fades: the slider and what is saved keep the user's.
  const int volume = static_cast<int>(std::lround(step.volumeShare * controller_.volume()));
  if (volume != controller_.player().volume()) controller_.player().setVolume(volume);
}

}  // namespace vandrel
