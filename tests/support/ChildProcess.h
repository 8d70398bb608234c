#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace vandrel::test {

// A program run for a test, its output going to a file (its errors too,
// unless they have their own); ended (SIGTERM, then SIGKILL after a bounded
// wait) when the object goes.
class ChildProcess {
 public:
  ChildProcess(std::vector<std::string> argv, const std::string& logFile = "/dev/null",
               const std::string& errorFile = "");
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Running();
  void Stop();
  void Signal(int number);
  // Its exit status (128 + the signal when one ended it) once it ended within
  // the time, else -1.
  int Wait(std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

}  // namespace vandrel::test
