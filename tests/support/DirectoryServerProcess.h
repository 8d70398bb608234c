#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/Files.h"
#include "support/Loopback.h"

namespace vandrel::test {

// The built vandrel-directory serving a data folder on a free loopback port.
class DirectoryServerProcess {
 public:
  // Waits (bounded) for its "listening on" line; throws std::runtime_error when it does not come.
  // A launcher (prlimit, setpriv) may run it: its command line goes before.
  explicit DirectoryServerProcess(const std::string& dataDir = VANDREL_SHIPPED_DIRECTORY_DATA,
                                  std::vector<std::string> extraArgs = {}, std::vector<std::string> launcher = {})
      : child_(Args(std::move(launcher), dataDir, extraArgs), (folder_ / "out").string(), (folder_ / "log").string()) {
    const std::string prefix = "listening on http://127.0.0.1:";
    PollUntil([&] {
      const std::string text = ReadFile(folder_ / "out");
      const auto at = text.find(prefix);
      if (at != std::string::npos && text.find('\n', at) != std::string::npos) port_ = std::atoi(&text[at + prefix.size()]);
      return port_ > 0 || !child_.Running();
    }, 10000);
    if (port_ <= 0) throw std::runtime_error("vandrel-directory did not start: " + log());
  }

  int port() const { return port_; }
  pid_t pid() const { return child_.pid(); }
  std::string baseAddress() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
  std::string log() const { return ReadFile(folder_ / "log"); }  // all it printed to stderr so far
  // Sends SIGTERM; its exit status once it ended within the limit, else -1.
  int terminate(std::chrono::milliseconds limit) { child_.Signal(SIGTERM); return child_.Wait(limit); }

 private:
  static std::vector<std::string> Args(std::vector<std::string> all, const std::string& dataDir,
                                       const std::vector<std::string>& extra) {
    all.insert(all.end(), {VANDREL_DIRECTORY_EXE, "serve", dataDir, "--host", "127.0.0.1", "--port", "0"});
    all.insert(all.end(), extra.begin(), extra.end());
    return all;
  }
  TempFolder folder_{"directory log"};
  ChildProcess child_;
  int port_ = 0;
};

}  // namespace vandrel::test
