#include <gtest/gtest.h>
#include <httplib.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "RawHttp.h"
#include "TempDataFolder.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSecret = "TOP-SECRET-OUTSIDE";

// A data folder with a secret beside it and symlinks leading in and out.
class DirectorySafetyTest : public ::testing::Test {
 protected:
  DirectorySafetyTest() {
    tmp_.write("secret.txt", kSecret);
    tmp_.write("data/radio/inter/keuze-uk.txt", "<naam>Holland</naam><bestand>holland.txt</bestand>\r\n");
    fs::create_symlink(tmp_.path() / "secret.txt", tmp_.path() / "data" / "leak.txt");
    fs::create_directory_symlink(tmp_.path(), tmp_.path() / "data" / "outside");
    fs::create_symlink(tmp_.path() / "data/radio/inter/keuze-uk.txt", tmp_.path() / "data" / "inside.txt");
    server_.emplace((tmp_.path() / "data").string());
  }

  int port() const { return server_->port(); }

  void ExpectStillServing() {
    const std::string reply = RawGet(port(), "/radio/inter/keuze-uk.txt", "Connection: close\r\n");
    EXPECT_EQ(StatusOf(reply), 200);
    EXPECT_NE(reply.find("<naam>Holland</naam>"), std::string::npos);
  }

  TempDataFolder tmp_;
  std::optional<DirectoryServerProcess> server_;
};

TEST_F(DirectorySafetyTest, NothingOutsideTheFolderIsServed) {
  for (const char* target : {
           "/../secret.txt", "/radio/../../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E/secret.txt",
           "/radio/%2e%2e%2f%2e%2e%2fsecret.txt", "/radio%2f..%2f..%2fsecret.txt", "/..%5csecret.txt",
           "/radio\\..\\..\\secret.txt", "//etc/passwd", "/%2fetc/passwd", "//" "/secret.txt",
           "/leak.txt", "/outside/secret.txt", "/outside/data/../secret.txt", "/leak.txt%00.html",
           "/%u002e%u002e/secret.txt", "/./leak.txt", "http://127.0.0.1/../secret.txt"}) {
    const std::string reply = RawGet(port(), target, "Connection: close\r\n");
    const int status = StatusOf(reply);
    EXPECT_TRUE(status == 400 || status == 404) << target << " gave " << status;
    EXPECT_EQ(reply.find(kSecret), std::string::npos) << target;
    EXPECT_EQ(reply.find("root:"), std::string::npos) << target;
  }
  // Symlinks are followed as long as they stay inside.
  const std::string inside = RawGet(port(), "/inside.txt", "Connection: close\r\n");
  EXPECT_EQ(StatusOf(inside), 200);
  EXPECT_NE(inside.find("<naam>Holland</naam>"), std::string::npos);
}

TEST_F(DirectorySafetyTest, OversizedRequestsAreRefusedAndTheServerGoesOn) {
  const std::string longUri = RawGet(port(), "/" + std::string(20000, 'a'));
  EXPECT_EQ(StatusOf(longUri), 414);

  const std::string hugeHeader = RawGet(port(), "/radio/inter/keuze-uk.txt", "X-Big: " + std::string(20000, 'b') + "\r\n");
  EXPECT_EQ(StatusOf(hugeHeader), 400);

  std::string manyHeaders;
  for (int i = 0; i < 20000; ++i) manyHeaders += "X-H" + std::to_string(i) + ": v\r\n";
  const std::string flood = RawGet(port(), "/radio/inter/keuze-uk.txt", manyHeaders);
  EXPECT_NE(StatusOf(flood), 200);

  const std::string bigBody = RawExchange(port(),
      "GET /radio/inter/keuze-uk.txt HTTP/1.1\r\nHost: x\r\nContent-Length: 10000000\r\n\r\n" + std::string(100000, 'c'));
  EXPECT_EQ(StatusOf(bigBody), 413);

  // The unread body must not be mistaken for a second request.
  const std::string smuggled = RawExchange(port(),
      "GET /radio/inter/keuze-uk.txt HTTP/1.1\r\nHost: x\r\nContent-Length: 30\r\n\r\nGET /leak.txt HTTP/1.1\r\n\r\n\r\n");
  EXPECT_EQ(StatusOf(smuggled), 200);
  EXPECT_EQ(smuggled.find("HTTP/1.1", 8), std::string::npos);

  httplib::Client client("127.0.0.1", port());
  auto post = client.Post("/radio/inter/keuze-uk.txt", std::string(1 << 20, 'd'), "application/octet-stream");
  if (post) {
    EXPECT_GE(post->status, 400);
  }
  ExpectStillServing();
}

TEST_F(DirectorySafetyTest, GarbageAndMalformedRequestsNeverStopIt) {
  std::mt19937 random(7);
  std::string noise(64 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  for (const std::string& bytes : {noise, std::string("\r\n\r\n\r\n"), std::string("GET /"),
                                   std::string("GET / HTTP/9.9\r\n\r\n"), std::string("BREW / HTTP/1.1\r\n\r\n"),
                                   std::string("GET /a?b?c HTTP/1.1\r\n\r\n"), std::string(1 << 20, 'G'),
                                   std::string("GET / HTTP/1.1\r\nRange: bytes=x\r\n\r\n"),
                                   std::string("GET /ecards/ HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n")}) {
    const std::string reply = RawExchange(port(), bytes, std::chrono::seconds(3));
    if (!reply.empty()) {
      EXPECT_GE(StatusOf(reply), 400) << bytes.substr(0, 40);
    }
  }
  for (const char* query : {"?zoeken=%zz", "?zoeken=%u0041", "?zoeken=%4"}) {
    const std::string reply =
        RawGet(port(), std::string("/radio/inter/zenders/radio-lijst-zoek.php") + query, "Connection: close\r\n");
    EXPECT_EQ(StatusOf(reply), 400) << query;
  }
  ExpectStillServing();
}

// Connects to the server and sends one keep-alive request; -1 on failure.
int OpenIdleConnection(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const std::string request = "GET /radio/inter/keuze-uk.txt HTTP/1.1\r\nHost: x\r\n\r\n";
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
    ::close(fd);
    return -1;
  }
  return fd;
}

TEST_F(DirectorySafetyTest, IdleKeepAliveClientsCannotStarveNewOnes) {
  // More idle connections than the server has workers, each after one reply.
  std::vector<int> idle;
  for (int i = 0; i < 300; ++i) idle.push_back(OpenIdleConnection(port()));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // Well below the keep-alive idle time the newcomer would otherwise wait.
  const std::string reply = RawExchange(port(), "GET /radio/inter/keuze-uk.txt HTTP/1.1\r\nHost: x\r\n\r\n",
                                        std::chrono::seconds(3));
  EXPECT_EQ(StatusOf(reply), 200);
  for (const int fd : idle) {
    if (fd >= 0) ::close(fd);
  }
}

}  // namespace
}  // namespace vandrel::test
