#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "core/PlayerState.h"

namespace vandrel {

// What the player could tell about an entry that ended by itself.
struct PlayEnd {
  PlayFailure failure = PlayFailure::Unplayable;  // the cause its log named, if any
  int httpStatus = 0;
  bool outputFailed = false;   // no sound output could be opened
  bool unknownFormat = false;  // nothing in it could be decoded
};

// What to do about it: open the station again after a pause, or give up.
struct Reconnect {
  bool retry = false;
  std::chrono::milliseconds pause{0};  // before the retry
  int attempt = 0;                     // this retry of attempts
  int attempts = 0;
  PlayFailure failure = PlayFailure::Unplayable;  // when giving up
  int httpStatus = 0;
  // Given up after it had played: the network took it, and brings it back.
  bool lost = false;
};

// When to re-open a station whose stream dropped: a few tries, each after a
// longer pause. Only a station that plays steadily earns a fresh set of tries,
// so a stream or output that dies at once ends in one error after the tries.
class ReconnectPolicy {
 public:
  using Pauses = std::vector<std::chrono::milliseconds>;
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  struct Timing {
    Pauses pauses = {std::chrono::seconds(1), std::chrono::seconds(2), std::chrono::seconds(4),
                     std::chrono::seconds(8), std::chrono::seconds(16)};
    std::chrono::milliseconds steady = std::chrono::seconds(10);
    // A server that accepts and then says nothing ends at this time-out.
    std::chrono::seconds networkTimeout = std::chrono::seconds(15);
  };

  ReconnectPolicy() : ReconnectPolicy(Timing{}) {}
  explicit ReconnectPolicy(Timing timing, Clock clock = [] { return std::chrono::steady_clock::now(); })
      : timing_(std::move(timing)), clock_(std::move(clock)) {}

  // The user chose the station afresh: no tries made, nothing played.
  void begin();
  // An entry of the station starts opening.
  void opening();
  // It outputs sound; steady play counts from the first time.
  void playing();
  // The sound stops: the entry ended, or the user paused.
  void interrupted();
  Reconnect ended(const PlayEnd& end);
  const Timing& timing() const { return timing_; }

 private:
  using TimePoint = std::chrono::steady_clock::time_point;
  Timing timing_;
  Clock clock_;
  int tries_ = 0;
  bool played_ = false;  // since Begin
  TimePoint opened_{};
  std::optional<TimePoint> playingSince_;
};

}  // namespace vandrel
