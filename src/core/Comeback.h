#pragma once

#include <chrono>
#include <optional>

namespace vandrel {

// Whether a station the network took away is opened again by itself: when
// the network or the system is back, and now and then meanwhile, since not
// every return is announced (no network manager, a router restarting). Only
// what the user does next ends it.
class Comeback {
 public:
  struct SlowTries {
    std::chrono::milliseconds pause = std::chrono::seconds(30);
    int count = 60;  // half an hour
  };
  Comeback() : Comeback(SlowTries{}) {}
  explicit Comeback(SlowTries slow) : slow_(slow) {}

  // Its tries ran out after it had played.
  void lost();
  // The system goes to sleep; active: a station plays or is being opened.
  void suspending(bool active);
  // The user chose: another address, stop, pause or play.
  void forget();
  // Whether to open the station now; playing: it plays already.
  bool networkBack(bool playing);
  bool slowTry(bool playing);
  // The pause before the next slow try, or nothing once they are spent.
  std::optional<std::chrono::milliseconds> nextSlowTry() const;
  // Whether a failure is shown: the one that lost the station is, those of
  // the tries to open it again are not.
  bool report();

 private:
  SlowTries slow_;
  bool lost_ = false;
  bool report_ = false;  // the failure of the loss is still to be shown
  bool asleep_ = false;  // opened afresh at the next return, playing or not
  int slowTries_ = 0;
};

}  // namespace vandrel
