#pragma once

#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <ranges>
#include <string>
#include <string_view>

#include "support/Files.h"
#include "support/Loopback.h"
#include "support/Memory.h"

namespace vandrel::test {

constexpr const char* kList = "/radio/inter/keuze-uk.txt";
constexpr const char* kSearch = "/radio/inter/zenders/radio-lijst-zoek.php";

inline long Count(const std::string& text, std::string_view part) { return std::ranges::distance(std::views::split(text, part)) - 1; }

// The reply as sent, compressed or not; an empty one (status -1) when there is none.
inline httplib::Response Fetch(int port, const std::string& target, const httplib::Headers& headers = {}) {
  httplib::Client client("127.0.0.1", port);
  client.set_decompress(false);
  auto reply = client.Get(target, headers);
  return reply ? *reply : httplib::Response{};
}

// Context switches of all a process's threads: every wake-up of any of them.
inline long ContextSwitches(pid_t pid) {
  long total = 0;
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec))
    total += StatusField(task.path() / "status", "voluntary_ctxt_switches:") +
             StatusField(task.path() / "status", "nonvoluntary_ctxt_switches:");
  return total;
}

inline std::string Get(const std::string& target, const std::string& headers = "") {
  return "GET " + target + " HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n";
}

// A connection from a loopback source that sent its bytes and stays open.
struct OpenConnection {
  OpenConnection(int port, const std::string& source, const std::string& bytes)
      : fd(ConnectLoopback(port, std::chrono::seconds(5), source)) { send(bytes); }
  ~OpenConnection() { ::close(fd); }
  OpenConnection(const OpenConnection&) = delete;
  OpenConnection& operator=(const OpenConnection&) = delete;
  bool send(const std::string& bytes) const { return fd >= 0 && ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0; }
  // The next reply's head, "" for none in time; a body with a length is read away, so the next request may follow.
  std::string head(std::chrono::milliseconds wait) const {
    const std::string head = ReadHead(fd, wait);
    const std::size_t at = head.find("\r\nContent-Length: ");
    std::size_t left = at == std::string::npos ? 0 : std::stoul(head.substr(at + 18));
    char chunk[4096];
    for (ssize_t n; left > 0 && (n = ::recv(fd, chunk, std::min(left, sizeof chunk), 0)) > 0;) left -= n;
    return head;
  }
  int status(std::chrono::milliseconds wait) const { return StatusOf(head(wait)); }
  int fd;
};

// One keep-alive connection, opened again only after "Connection: close"; any other loss fails.
class KeepAliveClient {
 public:
  KeepAliveClient(std::string source, int port) : source_(std::move(source)), port_(port) {}
  ~KeepAliveClient() { ::close(fd_); }
  KeepAliveClient(const KeepAliveClient&) = delete;
  KeepAliveClient& operator=(const KeepAliveClient&) = delete;

  // The reply's status, or 0 when no whole reply came.
  int get(const std::string& target) {
    if (fd_ < 0 && (fd_ = ConnectLoopback(port_, std::chrono::seconds(5), source_)) < 0) return 0;
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    bool whole = ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    std::size_t headEnd = std::string::npos;
    while (whole && (headEnd = buffer_.find("\r\n\r\n")) == std::string::npos) whole = fill();
    const std::string head = whole ? buffer_.substr(0, headEnd + 4) : std::string();
    const std::size_t at = head.find("\r\nContent-Length:");
    const std::size_t length = head.size() + (at == std::string::npos ? 0 : std::stoul(head.substr(at + 17)));
    while (whole && buffer_.size() < length) whole = fill();
    whole = whole && head.rfind("HTTP/1.1 ", 0) == 0;
    buffer_.erase(0, whole ? length : buffer_.size());
    if (!whole || head.find("\r\nConnection: close\r\n") != std::string::npos) {
      ::close(fd_);
      fd_ = -1;
      buffer_.clear();
    }
    return whole ? std::stoi(head.substr(9, 3)) : 0;
  }

 private:
  bool fill() {
    char chunk[16384];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n > 0) buffer_.append(chunk, static_cast<std::size_t>(n));
    return n > 0;
  }

  std::string source_;
  int port_;
  int fd_ = -1;
  std::string buffer_;
};

}  // namespace vandrel::test
