#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vandrel::test {

// The built vandrel-directory running as a child process on a free loopback
// port, for tests that talk to the real server.
class DirectoryServerProcess {
 public:
  // Starts the built vandrel-directory (path in macro VANDREL_DIRECTORY_EXE) serving dataDir on 127.0.0.1 with --port 0;
  // waits (bounded, ~10 s) for its "listening on" line; throws std::runtime_error on failure.
  explicit DirectoryServerProcess(std::string dataDir = VANDREL_SHIPPED_DIRECTORY_DATA,
                                  std::vector<std::string> extraArgs = {});
  ~DirectoryServerProcess();  // SIGTERM, then SIGKILL after a bounded wait; reaps the child
  DirectoryServerProcess(const DirectoryServerProcess&) = delete;
  DirectoryServerProcess& operator=(const DirectoryServerProcess&) = delete;

  int port() const;
  std::string baseAddress() const;  // "http://127.0.0.1:PORT/"
  std::string log() const;          // everything the server printed to stderr so far

 private:
  void stopChild();

  pid_t pid_ = -1;
  int port_ = 0;
  int stdoutFd_ = -1;
  int stderrFd_ = -1;
  std::thread stderrReader_;
  mutable std::mutex logMutex_;
  std::string log_;
};

}  // namespace vandrel::test
