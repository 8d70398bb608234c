#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace vandrel::test {

ChildProcess::ChildProcess(std::vector<std::string> argv, const std::string& logFile, const std::string& errorFile) {
  std::vector<char*> args;
  for (std::string& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (errorFile.empty()) {
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  }
  const int failed = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
}

bool ChildProcess::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  pid_ = -1;
  return false;
}

void ChildProcess::Signal(int number) {
  if (Running()) ::kill(pid_, number);
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
  for (auto waited = std::chrono::milliseconds(0); Running() && waited < limit; waited += std::chrono::milliseconds(10)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Running() ? -1 : status_;
}

void ChildProcess::Stop() {
  Signal(SIGTERM);
  if (Wait(std::chrono::seconds(2)) >= 0) return;
  Signal(SIGKILL);
  Wait(std::chrono::seconds(10));
}

}  // namespace vandrel::test
