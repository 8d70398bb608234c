#pragma once

#include <httplib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "support/Files.h"
#include "support/Loopback.h"

namespace vandrel::test {

// The reply as sent, compressed or not; an empty one (status -1) when there is none.
inline httplib::Response Fetch(int port, const std::string& target, const httplib::Headers& headers = {}) {
  httplib::Client client("127.0.0.1", port);
  client.set_decompress(false);
  auto reply = client.Get(target, headers);
  return reply ? *reply : httplib::Response{};
}

inline std::string Get(const std::string& target, const std::string& headers = "") {
  return "GET " + target + " HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n";
}

// A connection from a loopback source that sent its bytes and stays open.
struct OpenConnection {
  OpenConnection(int port, const std::string& source, const std::string& bytes)
      : fd(ConnectLoopback(port, std::chrono::seconds(5), source)) {
    send(bytes);
  }
  ~OpenConnection() { ::close(fd); }
  OpenConnection(const OpenConnection&) = delete;
  OpenConnection& operator=(const OpenConnection&) = delete;
  bool send(const std::string& bytes) const {
    return fd >= 0 && ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0;
  }
  // The next reply's head, "" for none in time; a body with a length is read away, so the next request may follow.
  std::string head(std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    std::size_t at = 0;
    while ((at = buffer.find("\r\n\r\n")) == std::string::npos && fill(end)) {
    }
    const std::string head = at == std::string::npos ? "" : buffer.substr(0, at + 4);
    const std::size_t length = head.find("\r\nContent-Length: ");
    const std::size_t whole = head.size() + (length == std::string::npos ? 0 : std::stoul(head.substr(length + 18)));
    while (!head.empty() && buffer.size() < whole && fill(end)) {
    }
    buffer.erase(0, head.empty() ? 0 : whole);
    return head;
  }
  int status(std::chrono::milliseconds wait) { return StatusOf(head(wait)); }
  bool fill(std::chrono::steady_clock::time_point end) {
    char chunk[16384];
    pollfd ready{fd, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    const ssize_t n = left.count() > 0 && ::poll(&ready, 1, static_cast<int>(left.count())) > 0
                          ? ::recv(fd, chunk, sizeof chunk, 0) : 0;
    if (n > 0) buffer.append(chunk, static_cast<std::size_t>(n));
    return n > 0;
  }
  int fd;
  std::string buffer;
};

// A request's status on one keep-alive connection, opened anew only after "Connection: close"; 0 for any loss.
inline int GetKeptAlive(std::unique_ptr<OpenConnection>& connection, int port, const std::string& target) {
  if (!connection) connection = std::make_unique<OpenConnection>(port, "127.0.0.1", "");
  const std::string head = connection->send(Get(target)) ? connection->head(std::chrono::seconds(5)) : "";
  if (head.empty() || head.find("\r\nConnection: close\r\n") != std::string::npos) connection.reset();
  return StatusOf(head);
}

}  // namespace vandrel::test
