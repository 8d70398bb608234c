#pragma once

#include <chrono>
#include <optional>
#include <vector>

namespace vandrel {

// When to re-open a station whose stream dropped: a few tries, each after a
// longer pause. A stream that plays again earns a fresh set of tries.
class ReconnectPolicy {
 public:
  using Pauses = std::vector<std::chrono::milliseconds>;
  // 1, 2, 4, 8 and 16 seconds.
  static Pauses DefaultPauses();

  explicit ReconnectPolicy(Pauses pauses = DefaultPauses()) : pauses_(std::move(pauses)) {}

  // The pause before the next try, or nothing when the tries are spent.
  std::optional<std::chrono::milliseconds> NextPause();
  // Tries made since the last reset.
  int Tries() const { return tries_; }
  int MaxTries() const { return static_cast<int>(pauses_.size()); }
  void Reset() { tries_ = 0; }

 private:
  Pauses pauses_;
  int tries_ = 0;
};

}  // namespace vandrel
