#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vandrel::test {

// A program run for a test, its output going to a file; ended (SIGTERM, then
// SIGKILL after a bounded wait) when the object goes.
class ChildProcess {
 public:
  ChildProcess(std::vector<std::string> argv, const std::string& logFile = "/dev/null");
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Running();
  void Stop();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// Whether something accepts connections on the loopback port, polled for up
// to the given milliseconds.
bool WaitForListener(int port, int milliseconds);

}  // namespace vandrel::test
