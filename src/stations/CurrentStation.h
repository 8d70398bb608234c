#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/Playback.h"

namespace vandrel {

struct Station {
  std::string name;
  std::string address;   // the stream
  std::string homepage;  // as the list gives it
};

// The station the user hears: every way of playing or stopping one goes
// through here, and the window's name and homepage are views of it. The
// address is always the player's own.
class CurrentStation {
 public:
  explicit CurrentStation(Playback& player, std::string homepage = "");

  // Plays the station and shows its name and homepage.
  void play(const Station& station);
  // Plays an address as the given name, keeping the homepage shown.
  void playNamed(const std::string& name, const std::string& address);
  // Opens an address without touching what is shown (start-up resume).
  void open(const std::string& address);
  // Shows a remembered name without playing anything.
  void restore(const std::string& name);
  void stop();
  void pause();
  // The current address again, live (after a stop, pause or error).
  void resume();

  const std::string& name() const { return name_; }
  const std::string& homepage() const { return homepage_; }
  std::string address() const { return player_.URL(); }

  // Called after every change of the name or homepage.
  void onChange(std::function<void()> listener) { listeners_.push_back(std::move(listener)); }

 private:
  void changed();

  Playback& player_;
  std::string name_;
  std::string homepage_;
  std::vector<std::function<void()>> listeners_;
};

}  // namespace vandrel
