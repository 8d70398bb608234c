#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "DirectoryTestKit.h"
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
  void ExpectServes(const std::string& target) {
    const std::string reply = RawGet(port(), target);
    EXPECT_EQ(StatusOf(reply), 200) << target;
    EXPECT_NE(reply.find("<naam>Holland</naam>"), std::string::npos) << target;
  }

  TempFolder tmp_;
  std::optional<DirectoryServerProcess> server_;
};

TEST_F(DirectorySafetyTest, NothingOutsideTheFolderIsServed) {
  for (const char* target : {
           "/../secret.txt", "/radio/../../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E/secret.txt",
           "/radio/%2e%2e%2f%2e%2e%2fsecret.txt", "/radio%2f..%2f..%2fsecret.txt", "/..%5csecret.txt",
           "/radio\\..\\..\\secret.txt", "//etc/passwd", "/%2fetc/passwd", "/leak.txt", "/outside/secret.txt",
           "/leak.txt%00.html", "/%u002e%u002e/secret.txt", "http://127.0.0.1/../secret.txt"}) {
    const std::string reply = RawGet(port(), target);
    EXPECT_TRUE(StatusOf(reply) == 400 || StatusOf(reply) == 404) << target << " gave " << StatusOf(reply);
    EXPECT_EQ(reply.find(kSecret), std::string::npos) << target;
    EXPECT_EQ(reply.find("root:"), std::string::npos) << target;
  }
  // Symlinks are followed as long as they stay inside.
  ExpectServes("/inside.txt");
}

TEST_F(DirectorySafetyTest, OversizedRequestsAreRefusedAndTheServerGoesOn) {
  // Each over-long head is answered before the connection closes.
  std::string manyHeaders;
  for (int i = 0; i < 20000; ++i) manyHeaders += "X-H" + std::to_string(i) + ": v\r\n";
  for (const auto& [request, status] : std::vector<std::pair<std::string, int>>{
           {"GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n", 414},
           {"GET /" + std::string(100000, 'a'), 414},
           {"GET / HTTP/1.1\r\nX-Big: " + std::string(20000, 'b') + "\r\n\r\n", 431},
           {"GET / HTTP/1.1\r\n" + manyHeaders + "\r\n", 431}}) {
    EXPECT_EQ(StatusOf(RawExchange(port(), request)), status) << request.substr(0, 30);
  }
  const std::string bigBody = RawExchange(port(),
      "GET /radio/inter/keuze-uk.txt HTTP/1.1\r\nHost: x\r\nContent-Length: 10000000\r\n\r\n" + std::string(100000, 'c'));
  EXPECT_EQ(StatusOf(bigBody), 413);

  // The unread body must not be mistaken for a second request.
  const std::string smuggled = RawExchange(port(),
      "GET /radio/inter/keuze-uk.txt HTTP/1.1\r\nHost: x\r\nContent-Length: 30\r\n\r\nGET /leak.txt HTTP/1.1\r\n\r\n\r\n");
  EXPECT_EQ(StatusOf(smuggled), 200);
  EXPECT_EQ(smuggled.find("HTTP/1.1", 8), std::string::npos);

  auto post = httplib::Client("127.0.0.1", port())
                  .Post("/radio/inter/keuze-uk.txt", std::string(1 << 20, 'd'), "application/octet-stream");
  EXPECT_TRUE(!post || post->status >= 400);
  ExpectServes("/radio/inter/keuze-uk.txt");
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
    EXPECT_TRUE(reply.empty() || StatusOf(reply) >= 400) << bytes.substr(0, 40) << " gave " << StatusOf(reply);
  }
  for (const char* query : {"?zoeken=%zz", "?zoeken=%u0041", "?zoeken=%4", ""}) {
    EXPECT_EQ(StatusOf(RawGet(port(), std::string("/radio/inter/zenders/radio-lijst-zoek.php") + query)), 400) << query;
  }
  ExpectServes("/radio/inter/keuze-uk.txt");
}

}  // namespace
}  // namespace vandrel::test
