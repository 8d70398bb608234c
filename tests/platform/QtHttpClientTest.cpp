#include "platform/QtHttpClient.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QSslConfiguration>
#include <QTimer>
#include <chrono>
#include <thread>
#include <tuple>

#include "core/TextDecoding.h"
#include "support/CannedServer.h"
#include "support/ChildProcess.h"
#include "support/DirectoryServerProcess.h"
#include "support/Files.h"
#include "support/GzipText.h"
#include "support/Memory.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;

// No answer in time, or a list that never ends or is too long: refused soon, holding little more than the cap.
TEST(QtHttpClientTest, FailsSoonWithoutAnAnswerOrPastTheCapHoldingLittleMemory) {
  QtHttpClient http({.timeout = 1500ms});
  EXPECT_THROW(http.OpenURL("file:///etc/passwd"), HttpError);
  const std::int64_t cap = QtHttpClient::Limits{}.maxBodyBytes;
  const std::string piece(64 * 1024, 'x');
  const std::tuple<const char*, std::string, std::string> cases[] = {  // what, the reply, what follows it endlessly
      {"no answer", "", ""},
      {"endless chunked list", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "10000\r\n" + piece + "\r\n"},
      {"endless body without a length", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", piece},
      {"just past the cap at once", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(cap + 1) +
                                        "\r\n\r\n" + std::string(static_cast<std::size_t>(cap) + 1, 'x'), ""},
  };
  for (const auto& [what, reply, endless] : cases) {
    test::CannedServer server(reply, endless);
    // The window busy for a moment (a repaint on a slow machine) while the body pours in.
    QTimer::singleShot(0, [] { std::this_thread::sleep_for(200ms); });
    test::ResetPeakResident();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(http.OpenURL(server.address() + "radio/inter/zenders/holland.txt"), HttpError) << what;
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(waited < 10s && (!reply.empty() || waited >= 1400ms)) << what;  // the time-out fired, and not early
    EXPECT_LT(test::StatusKiB("VmHWM:"), 150 * 1024) << what;
  }
}

// Lists come only from a directory whose certificate is trusted.
TEST(QtHttpClientTest, RefusesADirectoryWithASelfSignedCertificateUntilItIsTrusted) {
  const test::TempFolder tls("tls");
  const std::string cert = (tls / "cert.pem").string(), key = (tls / "key.pem").string();
  ASSERT_EQ(test::ChildProcess({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext",
                                "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert}).Wait(20s), 0);
  httplib::SSLServer server(cert.c_str(), key.c_str());
  ASSERT_TRUE(server.is_valid());
  server.Get("/radio/inter/keuze-uk.txt", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("<naam>Holland</naam>", "text/plain");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { server.listen_after_bind(); });
  const std::string address = "https://127.0.0.1:" + std::to_string(port) + "/radio/inter/keuze-uk.txt";

  EXPECT_THROW(QtHttpClient().OpenURL(address), HttpError);
  const QSslConfiguration system = QSslConfiguration::defaultConfiguration();
  QSslConfiguration trusting = system;
  trusting.addCaCertificates(QString::fromStdString(cert));
  QSslConfiguration::setDefaultConfiguration(trusting);
  std::string answer;
  EXPECT_NO_THROW(answer = QtHttpClient().OpenURL(address));
  QSslConfiguration::setDefaultConfiguration(system);
  server.stop();
  serving.join();
  EXPECT_EQ(answer, "<naam>Holland</naam>");
}

// Error pages and dead servers are the window tests' (Form1Test, DirectoryDialogsTest). A list of many
// kilobytes in Windows-1252 behind a redirect: its gzip body spans many reads, and a revalidation gives it again.
TEST(QtHttpClientTest, AGzipListAfterARedirectAndItsRevalidationGiveTheListAsText) {
  const test::TempFolder data("http"), cache("http cache");
  std::string list;
  for (int n = 0; list.size() < 300000; ++n) {
    list += "<naam>Zender " + std::to_string(n) + " Fran\xE7" "aise</naam><url>http://s.example/" +
            std::to_string(n * 7919) + "</url><homepage>www.example/" + std::to_string(n) + "</homepage>\n";
  }
  data.write("radio/inter/zenders/groot.txt", list);
  {
    test::DirectoryServerProcess server(data.path().string());
    test::CannedServer moved("HTTP/1.1 302 Found\r\nLocation: " + server.baseAddress() +
                             "radio/inter/zenders/groot.txt\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    QtHttpClient http(QtHttpClient::Limits{}, (cache / ".listcache").string());
    EXPECT_EQ(http.OpenURL(moved.address() + "moved"), DecodeBodyText(list));  // gzip on the wire
    EXPECT_EQ(http.OpenURL(moved.address() + "moved"), DecodeBodyText(list));  // 304 Not Modified
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
