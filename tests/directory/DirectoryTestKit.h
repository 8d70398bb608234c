#pragma once

#include <arpa/inet.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/ReadFile.h"

namespace vandrel::test {

// A fresh folder under the system temp folder, removed with everything in it.
class TempDataFolder {
 public:
  TempDataFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vandrel-directory-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDataFolder() { std::error_code ec; std::filesystem::remove_all(path_, ec); }
  const std::filesystem::path& path() const { return path_; }
  // Writes content to relative (creating folders); returns the full path.
  std::filesystem::path write(const std::string& relative, std::string_view content) const {
    std::filesystem::create_directories((path_ / relative).parent_path());
    std::ofstream(path_ / relative, std::ios::binary) << content;
    return path_ / relative;
  }

 private:
  std::filesystem::path path_;
};

// The reply as sent, compressed or not; an empty one (status -1) when there is none.
inline httplib::Response Fetch(int port, const std::string& target, const httplib::Headers& headers = {}) {
  httplib::Client client("127.0.0.1", port);
  client.set_decompress(false);
  auto reply = client.Get(target, headers);
  return reply ? *reply : httplib::Response{};
}

inline int StatusOf(const httplib::Result& reply) { return reply ? reply->status : 0; }

// A socket connected to 127.0.0.1:port with the timeout on both directions, or -1.
inline int ConnectLoopback(int port, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  timeval tv{static_cast<time_t>(timeout.count() / 1000), static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_in addr{.sin_family = AF_INET, .sin_port = htons(static_cast<uint16_t>(port)), .sin_addr = {htonl(INADDR_LOOPBACK)}};
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
  ::close(fd);
  return -1;
}

// Sends bytes as they are, half-closes, and returns all that comes back
// until the server closes or the timeout passes.
inline std::string RawExchange(int port, std::string_view bytes, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
  const int fd = ConnectLoopback(port, timeout);
  if (fd < 0) throw std::runtime_error("connect");
  // The server may answer and hang up before taking everything; that is fine.
  for (ssize_t n = 0; !bytes.empty() && (n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)) > 0;) bytes.remove_prefix(n);
  ::shutdown(fd, SHUT_WR);
  std::string reply;
  char buffer[65536];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return reply;
}

// The status code of the first response in raw, or 0 when there is none.
inline int StatusOf(const std::string& raw) {
  return raw.rfind("HTTP/1.", 0) == 0 && raw.size() >= 12 ? std::stoi(raw.substr(9, 3)) : 0;
}

// A GET with the target exactly as given; Host is 127.0.0.1 unless extraHeaders carry one.
inline std::string RawGet(int port, std::string_view target, std::string_view extraHeaders = "Connection: close\r\n") {
  std::string request = "GET " + std::string(target) + " HTTP/1.1\r\n";
  if (extraHeaders.find("Host:") == std::string_view::npos) request += "Host: 127.0.0.1\r\n";
  return RawExchange(port, request + std::string(extraHeaders) + "\r\n");
}

}  // namespace vandrel::test
