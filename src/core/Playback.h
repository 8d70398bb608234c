#pragma once

#include <string>

namespace vandrel {

// The part of the media player that the station controller drives: no Qt,
// so the controller and its tests need no event loop.
class Playback {
 public:
  virtual ~Playback() = default;
  // Starts opening and playing the address at once, replacing what played.
  virtual void setURL(const std::string& address) = 0;
  virtual std::string URL() const = 0;
  virtual void close() = 0;
  // Lets a playing stream go; play() opens the address again, live.
  virtual void pause() = 0;
  virtual void play() = 0;
};

}  // namespace vandrel
