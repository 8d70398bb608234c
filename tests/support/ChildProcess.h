#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace vandrel::test {

// A program with its output in a file; ended (SIGTERM, then SIGKILL) when the object goes.
class ChildProcess {
 public:
  ChildProcess(std::vector<std::string> argv, const std::string& logFile = "/dev/null",
               const std::string& errorFile = "") {
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Both opened for appending, so both can be one file.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (errorFile.empty() ? logFile : errorFile).c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int failed = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
  }
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }  // while it runs
  bool Running() {
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) == 0) return pid_ > 0;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    return false;
  }
  void Signal(int number) { if (Running()) ::kill(pid_, number); }
  // Its exit status (128 + the signal when one ended it) once it ended within the time, else -1.
  int Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (Running() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Running() ? -1 : status_;
  }
  void Stop() {
    Signal(SIGTERM);
    if (Wait(std::chrono::seconds(2)) < 0) { Signal(SIGKILL); Wait(std::chrono::seconds(10)); }
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

}  // namespace vandrel::test
