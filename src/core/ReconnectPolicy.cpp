#include "core/ReconnectPolicy.h"

namespace vandrel {

ReconnectPolicy::Pauses ReconnectPolicy::DefaultPauses() {
  using std::chrono::seconds;
  return {seconds(1), seconds(2), seconds(4), seconds(8), seconds(16)};
}

std::optional<std::chrono::milliseconds> ReconnectPolicy::NextPause() {
  if (tries_ >= MaxTries()) return std::nullopt;
  return pauses_[static_cast<std::size_t>(tries_++)];
}

}  // namespace vandrel
