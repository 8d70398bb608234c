#pragma once

#include <QProcess>
#include <string>

namespace vandrel {

// The station directory an installation carries: when the player is pointed
// at a loopback address where nothing answers, and the directory server and
// its data lie beside the program, it serves them there for as long as the
// player runs.
class LocalDirectory {
 public:
  // Starts the server when it is wanted and missing; true when the address
  // answers afterwards (or already did).
  bool ensureRunning(const std::string& programFolder, const std::string& baseAddress);
  ~LocalDirectory();

 private:
  QProcess server_;
};

}  // namespace vandrel
