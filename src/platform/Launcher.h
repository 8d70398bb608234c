#pragma once

#include <stdexcept>
#include <string>

namespace vandrel {

// Hands a web address to the desktop, which opens it in the user's browser.
class Launcher {
 public:
  virtual ~Launcher() = default;
  // Throws LaunchError when the desktop cannot open it.
  virtual void open(const std::string& address) = 0;
};

struct LaunchError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The desktop's own launcher (xdg-open and its kin).
class DesktopLauncher : public Launcher {
 public:
  void open(const std::string& address) override;
};

}  // namespace vandrel
