#pragma once
// The directory server as the bench runs it: its own process, slow clients
// that never end their heads, and what the kernel tells of its threads.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "directory/DirectoryTestKit.h"
#include "support/Loopback.h"

extern char** environ;

namespace vandrel::bench {

namespace fs = std::filesystem;
using test::ContextSwitches;
using test::StatusField;

// A vandrel-directory (ours or a peer build) as its own process, so its
// memory is its own.
class ServerProcess {
 public:
  ServerProcess(const std::string& exe, const fs::path& data) {
    int out[2];
    if (::pipe(out) != 0) std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {exe, "serve", data.string(), "--port", "0", "--quiet"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
      std::fprintf(stderr, "cannot start %s\n", exe.c_str());
      std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    char c = 0;
    while (line.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1) line += c;
    ::close(out[0]);
    const std::size_t colon = line.rfind(':');
    port_ = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
    if (port_ <= 0) {
      std::fprintf(stderr, "%s did not start: %s\n", exe.c_str(), line.c_str());
      std::exit(1);
    }
  }
  ~ServerProcess() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  // Resident memory now, in MB.
  double rssMb() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return 0;
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// Sockets from one address that each send a byte a second and never end
// their head; any the server closes is opened again at once.
class SlowSockets {
 public:
  SlowSockets(int port, std::size_t count) : port_(port), fds_(count, -1) {
    thread_ = std::thread([this] {
      const std::string head = "GET /radio/inter/keuze-uk.txt HTTP/1.1\r\nX-Slow: ";
      std::vector<std::size_t> sent(fds_.size(), 0);
      while (!stop_) {
        for (std::size_t i = 0; i < fds_.size() && !stop_; ++i) {
          char sink[512];
          if (fds_[i] >= 0 && ::recv(fds_[i], sink, sizeof sink, MSG_DONTWAIT) != -1) {
            ::close(fds_[i]);  // answered (refused or timed out) or closed
            fds_[i] = -1;
          }
          if (fds_[i] < 0) {
            fds_[i] = vandrel::test::ConnectLoopback(port_, std::chrono::milliseconds(200), "127.0.0.2");
            sent[i] = 0;
            ++opened_;
          }
          const char byte = sent[i] < head.size() ? head[sent[i]] : 'x';
          if (fds_[i] >= 0 && ::send(fds_[i], &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1) ++sent[i];
        }
        for (int t = 0; t < 10 && !stop_; ++t) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
  }
  ~SlowSockets() {
    stop_ = true;
    thread_.join();
    for (int fd : fds_) {
      if (fd >= 0) ::close(fd);
    }
  }
  std::size_t opened() const { return opened_; }

 private:
  int port_;
  std::vector<int> fds_;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> opened_{0};
  std::thread thread_;
};

struct IdleFigures {
  long threads;
  double wakeupsPerSecond;  // context switches of all its threads
  double cpuPercent;        // of one core
  double rssMb;
};

// User and system time in clock ticks.
inline long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  std::size_t at = text.rfind(')');
  std::vector<std::string> fields;
  for (std::size_t i = at + 2; i < text.size();) {
    const std::size_t space = text.find(' ', i);
    fields.push_back(text.substr(i, space - i));
    if (space == std::string::npos) break;
    i = space + 1;
  }
  // utime and stime are fields 14 and 15, the 12th and 13th after the name.
  return fields.size() > 12 ? std::stol(fields[11]) + std::stol(fields[12]) : 0;
}

// The server after a quiet second, left alone for `seconds`.
inline IdleFigures Idle(const ServerProcess& server, std::size_t seconds) {
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const std::string status = "/proc/" + std::to_string(server.pid()) + "/status";
  const long switches = ContextSwitches(server.pid());
  const long ticks = CpuTicks(server.pid());
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double s = static_cast<double>(seconds);
  return {StatusField(status, "Threads:"), static_cast<double>(ContextSwitches(server.pid()) - switches) / s,
          100.0 * static_cast<double>(CpuTicks(server.pid()) - ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK)) / s,
          server.rssMb()};
}

}  // namespace vandrel::bench
