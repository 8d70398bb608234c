#include "platform/QtHttpClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "support/CannedServer.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class QtHttpClientTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    data_ = fs::temp_directory_path() / ("vandrel-http-" + std::to_string(::getpid()));
    fs::create_directories(data_ / "radio/inter/zenders");
    std::ofstream(data_ / "radio/inter/zenders/holland.txt") << "<naam>A</naam><url>http://a/</url>\n";
    std::ofstream(data_ / "radio/inter/zenders/latin1.txt") << "<naam>Fran\xE7" "aise</naam>";
    std::ofstream big(data_ / "big.txt");
    big << std::string(5 * 1024 * 1024, 'x');
    big.close();
    server_ = new test::DirectoryServerProcess(data_.string());
  }
  static void TearDownTestSuite() {
    delete server_;
    fs::remove_all(data_);
  }

  static inline fs::path data_;
  static inline test::DirectoryServerProcess* server_ = nullptr;
};

TEST_F(QtHttpClientTest, ReturnsBodiesAsTextAlsoForErrorPages) {
  QtHttpClient http;
  EXPECT_EQ(http.OpenURL(server_->baseAddress() + "radio/inter/zenders/holland.txt"),
            "<naam>A</naam><url>http://a/</url>\n");
  EXPECT_EQ(http.OpenURL(server_->baseAddress() + "radio/inter/zenders/latin1.txt"),
            "<naam>Fran\xC3\xA7" "aise</naam>");
  // A missing list is an answer, not a failure: its page comes back as text.
  EXPECT_NO_THROW(http.OpenURL(server_->baseAddress() + "radio/inter/zenders/nowhere.txt"));
}

TEST_F(QtHttpClientTest, FollowsRedirects) {
  test::CannedServer redirect("HTTP/1.1 302 Found\r\nLocation: " + server_->baseAddress() +
                              "radio/inter/zenders/holland.txt\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  QtHttpClient http;
  EXPECT_EQ(http.OpenURL(redirect.address() + "moved"), "<naam>A</naam><url>http://a/</url>\n");
}

TEST_F(QtHttpClientTest, FailsWhenNoAnswerCanBeHad) {
  QtHttpClient http({.timeout = 1500ms});
  EXPECT_THROW(http.OpenURL("http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/x"), HttpError);
  EXPECT_THROW(http.OpenURL("not an address"), HttpError);
  EXPECT_THROW(http.OpenURL("file:///etc/passwd"), HttpError);

  test::CannedServer silent("");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(http.OpenURL(silent.address() + "radio/inter/keuze-uk.txt"), HttpError);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 1400ms);
  EXPECT_LT(waited, 10s);  // the time-out fired; the caller was not held for ever
}

TEST_F(QtHttpClientTest, RefusesBodiesOverTheCap) {
  QtHttpClient capped({.maxBodyBytes = 4 * 1024 * 1024});
  EXPECT_THROW(capped.OpenURL(server_->baseAddress() + "big.txt"), HttpError);
  QtHttpClient roomy({.maxBodyBytes = 8 * 1024 * 1024});
  EXPECT_EQ(roomy.OpenURL(server_->baseAddress() + "big.txt").size(), 5u * 1024 * 1024);
}

}  // namespace
}  // namespace vandrel
