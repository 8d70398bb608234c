#include "core/Comeback.h"

#include <utility>

namespace vandrel {

void Comeback::lost() {
  lost_ = true;
  report_ = true;
  asleep_ = false;
  slowTries_ = 0;
}

void Comeback::suspending(bool active) {
  if (!active && !lost_) return;
  // A stream's connection does not outlive the sleep, whatever it shows.
  lost_ = true;
  report_ = false;
  asleep_ = true;
  slowTries_ = 0;
}

void Comeback::forget() { *this = Comeback(slow_); }

bool Comeback::networkBack(bool playing) {
  if (!lost_) return false;
  return std::exchange(asleep_, false) || !playing;
}

bool Comeback::slowTry(bool playing) {
  if (!lost_ || slowTries_ >= slow_.count) return false;
  ++slowTries_;
  return !playing;
}

std::optional<std::chrono::milliseconds> Comeback::nextSlowTry() const {
  if (!lost_ || slowTries_ >= slow_.count) return std::nullopt;
  return slow_.pause;
}

bool Comeback::report() { return !lost_ || std::exchange(report_, false); }

}  // namespace vandrel
