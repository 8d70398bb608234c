#include "platform/QtHttpClient.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/TextDecoding.h"
#include "support/CannedServer.h"
#include "support/DirectoryServerProcess.h"
#include "support/Files.h"
#include "support/GzipText.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;

std::string Reply(const std::string& status, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
         body;
}

// Error pages and dead servers are the window tests' (Form1Test, DirectoryDialogsTest).
TEST(QtHttpClientTest, ReturnsBodiesAsTextAfterRedirectsUpToTheCap) {
  test::CannedServer latin1(Reply("200 OK", "<naam>Fran\xE7" "aise</naam>"));
  test::CannedServer moved("HTTP/1.1 302 Found\r\nLocation: " + latin1.address() +
                           "list.txt\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(QtHttpClient().OpenURL(moved.address() + "moved"), "<naam>Fran\xC3\xA7" "aise</naam>");
  test::CannedServer big(Reply("200 OK", std::string(5000, 'x')));
  EXPECT_THROW(QtHttpClient({.maxBodyBytes = 4000}).OpenURL(big.address() + "big.txt"), HttpError);
  EXPECT_EQ(QtHttpClient({.maxBodyBytes = 8000}).OpenURL(big.address() + "big.txt").size(), 5000u);
}

TEST(QtHttpClientTest, FailsWhenNoAnswerCanBeHad) {
  QtHttpClient http({.timeout = 1500ms});
  EXPECT_THROW(http.OpenURL("file:///etc/passwd"), HttpError);

  test::CannedServer silent("");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(http.OpenURL(silent.address() + "radio/inter/keuze-uk.txt"), HttpError);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 1400ms);
  EXPECT_LT(waited, 10s);  // the time-out fired; the caller was not held for ever
}

// A list of many kilobytes, so its gzip body spans many reads and unpacks.
TEST(QtHttpClientTest, AGzipListAndARevalidationGiveTheTextOfAPlainDownload) {
  const test::TempFolder data("http"), cache("http cache");
  std::string list;
  for (int n = 0; list.size() < 300000; ++n) {
    list += "<naam>Zender " + std::to_string(n) + " caf\xC3\xA9</naam><url>http://s.example/" + std::to_string(n * 7919) +
            "</url><homepage>www.example/" + std::to_string(n) + "</homepage>\n";
  }
  data.write("radio/inter/zenders/groot.txt", list);
  {
    test::DirectoryServerProcess server(data.path().string());
    const std::string address = server.baseAddress() + "radio/inter/zenders/groot.txt";
    QtHttpClient http(QtHttpClient::Limits{}, (cache / ".listcache").string());
    EXPECT_EQ(http.OpenURL(address), DecodeBodyText(list));  // gzip on the wire
    EXPECT_EQ(http.OpenURL(address), DecodeBodyText(list));  // 304 Not Modified
    EXPECT_TRUE(test::WaitUntil([&] { return server.log().find("groot.txt 304") != std::string::npos; }, 2s))
        << server.log();
  }

  // A gzip body cut short is no answer, never part of the list.
  std::string packed = test::GzipText(list);
  packed.resize(packed.size() / 2);
  test::CannedServer cut("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + std::to_string(packed.size()) +
                         "\r\nConnection: close\r\n\r\n" + packed);
  EXPECT_THROW(QtHttpClient().OpenURL(cut.address() + "cut.txt"), HttpError);
}

}  // namespace
}  // namespace vandrel
