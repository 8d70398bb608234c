#include "core/ReconnectPolicy.h"

namespace vandrel {

void ReconnectPolicy::begin() {
  tries_ = 0;
  played_ = false;
  playingSince_.reset();
}

void ReconnectPolicy::opening() { opened_ = clock_(); }

void ReconnectPolicy::playing() {
  played_ = true;
  if (!playingSince_) playingSince_ = clock_();
}

void ReconnectPolicy::interrupted() {
  if (playingSince_ && clock_() - *playingSince_ >= timing_.steady) tries_ = 0;
  playingSince_.reset();
}

Reconnect ReconnectPolicy::ended(const PlayEnd& end) {
  interrupted();
  Reconnect next{.failure = end.failure, .httpStatus = end.httpStatus};
  if (end.outputFailed) {
    next.failure = PlayFailure::SoundOutputFailed;
    next.httpStatus = 0;
  } else if (next.failure == PlayFailure::Unplayable) {
    // Nothing named a cause: a server that accepts and then says nothing
    // ends at the network time-out.
    if (clock_() - opened_ >= timing_.networkTimeout - std::chrono::seconds(1)) {
      next.failure = PlayFailure::NoAnswer;
    } else if (end.unknownFormat) {
      next.failure = PlayFailure::NotAudio;
    }
  }
  // A station that played, or whose output failed, is tried again; an
  // address or certificate we refuse is not.
  const bool refused = next.failure == PlayFailure::NotWebRadio || next.failure == PlayFailure::CertificateNotTrusted;
  const int attempts = static_cast<int>(timing_.pauses.size());
  if (!refused && (played_ || next.failure == PlayFailure::SoundOutputFailed) && tries_ < attempts) {
    next.retry = true;
    next.pause = timing_.pauses[static_cast<std::size_t>(tries_++)];
    next.attempt = tries_;
    next.attempts = attempts;
    return next;
  }
  next.lost = played_ && !refused;
  played_ = false;
  tries_ = 0;
  return next;
}

}  // namespace vandrel
