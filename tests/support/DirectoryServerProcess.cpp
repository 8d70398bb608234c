#include "support/DirectoryServerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

extern char** environ;

namespace vandrel::test {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point end) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the child to end until `end`; true once reaped.
bool ReapBy(pid_t pid, Clock::time_point end) {
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

DirectoryServerProcess::DirectoryServerProcess(std::string dataDir, std::vector<std::string> extraArgs) {
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    throw std::runtime_error("pipe failed");
  }

  std::vector<std::string> args{VANDREL_DIRECTORY_EXE, "serve", dataDir, "--host", "127.0.0.1", "--port", "0"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  const int spawned = ::posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  stdoutFd_ = out[0];
  stderrFd_ = err[0];
  if (spawned != 0) {
    pid_ = -1;
    ::close(stdoutFd_);
    ::close(stderrFd_);
    throw std::runtime_error("cannot start " + args[0]);
  }

  stderrReader_ = std::thread([this] {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(stderrFd_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      std::lock_guard<std::mutex> lock(logMutex_);
      log_.append(buffer, static_cast<std::size_t>(n));
    }
  });

  const std::string prefix = "listening on http://127.0.0.1:";
  std::string line;
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (line.find('\n') == std::string::npos) {
    pollfd p{stdoutFd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, MillisecondsLeft(end));
    char buffer[256];
    const ssize_t n = ready > 0 ? ::read(stdoutFd_, buffer, sizeof buffer) : -1;
    if (n < 0 && ready < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  if (line.rfind(prefix, 0) == 0) {
    try {
      port_ = std::stoi(line.substr(prefix.size()));
    } catch (const std::exception&) {
      port_ = 0;
    }
  }
  if (port_ <= 0) {
    stopChild();
    throw std::runtime_error("vandrel-directory did not start: stdout \"" + line + "\", stderr \"" + log() + "\"");
  }
}

DirectoryServerProcess::~DirectoryServerProcess() { stopChild(); }

void DirectoryServerProcess::stopChild() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    if (!ReapBy(pid_, Clock::now() + std::chrono::seconds(10))) {
      ::kill(pid_, SIGKILL);
      ReapBy(pid_, Clock::now() + std::chrono::seconds(10));
    }
    pid_ = -1;
  }
  // The child is gone, so its end of the pipe is closed and the reader ends.
  if (stderrReader_.joinable()) stderrReader_.join();
  if (stdoutFd_ >= 0) ::close(stdoutFd_);
  if (stderrFd_ >= 0) ::close(stderrFd_);
  stdoutFd_ = stderrFd_ = -1;
}

int DirectoryServerProcess::port() const { return port_; }

std::string DirectoryServerProcess::baseAddress() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

std::string DirectoryServerProcess::log() const {
  std::lock_guard<std::mutex> lock(logMutex_);
  return log_;
}

}  // namespace vandrel::test
