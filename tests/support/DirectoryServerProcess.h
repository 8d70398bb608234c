#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/Files.h"

namespace vandrel::test {

// The built vandrel-directory serving a data folder on a free loopback port.
class DirectoryServerProcess {
 public:
  // Waits (bounded) for its "listening on" line; throws std::runtime_error when it does not come.
  explicit DirectoryServerProcess(std::string dataDir = VANDREL_SHIPPED_DIRECTORY_DATA,
                                  std::vector<std::string> extraArgs = {});

  int port() const { return port_; }
  std::string baseAddress() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
  std::string log() const { return ReadFile(folder_ / "log"); }  // all it printed to stderr so far
  // Sends SIGTERM; its exit status once it ended within the limit, else -1.
  int terminate(std::chrono::milliseconds limit);

 private:
  TempFolder folder_{"directory log"};
  std::unique_ptr<ChildProcess> child_;
  int port_ = 0;
};

}  // namespace vandrel::test
