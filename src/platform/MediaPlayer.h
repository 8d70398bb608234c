#pragma once

#include <functional>
#include <string>

namespace vandrel {

// The embedded stream player. Setting the address starts playing it at once;
// notifications arrive on the user-interface thread.
class MediaPlayer {
 public:
  virtual ~MediaPlayer() = default;

  virtual void setURL(const std::string& address) = 0;
  virtual std::string URL() const = 0;
  virtual void close() = 0;
  virtual void setVolume(int volume) = 0;  // 0 to 100
  virtual int volume() const = 0;
  virtual std::string status() const = 0;
  // The stream's own title, empty when it reports none.
  virtual std::string streamTitle() const { return ""; }

  std::function<void()> onStatusChange;
  std::function<void()> onError;
};

}  // namespace vandrel
