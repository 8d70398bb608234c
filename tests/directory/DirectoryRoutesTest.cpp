#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <memory>
#include <thread>

#include "RawHttp.h"
#include "TempDataFolder.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

class DirectoryRoutesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<DirectoryServerProcess>(); }
  static void TearDownTestSuite() { server_.reset(); }

  static httplib::Response Get(const std::string& target) {
    httplib::Client client("127.0.0.1", server_->port());
    auto result = client.Get(target);
    return result ? *result : httplib::Response{};
  }

  // The log line is written just after the reply, so give it a moment.
  static bool LogShows(const std::string& line) {
    for (int i = 0; i < 200 && server_->log().find(line + "\n") == std::string::npos; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return server_->log().find(line + "\n") != std::string::npos;
  }

  static std::unique_ptr<DirectoryServerProcess> server_;
};

std::unique_ptr<DirectoryServerProcess> DirectoryRoutesTest::server_;

TEST_F(DirectoryRoutesTest, ServesListsWithTheirOwnAddressFilledIn) {
  const auto countries = Get("/radio/inter/keuze-uk.txt");
  EXPECT_EQ(countries.status, 200);
  EXPECT_EQ(countries.get_header_value("Content-Type"), "text/plain; charset=utf-8");
  EXPECT_EQ(countries.body.rfind("<naam>Holland</naam><bestand>holland.txt</bestand>", 0), 0u);

  const auto holland = Get("/radio/inter/zenders/holland.txt");
  EXPECT_EQ(holland.status, 200);
  EXPECT_NE(holland.body.find("<url>" + server_->baseAddress() + "stream/tone</url>"), std::string::npos);
  EXPECT_EQ(holland.body.find("{{base}}"), std::string::npos);
  EXPECT_TRUE(LogShows("GET /radio/inter/zenders/holland.txt 200"));
}

TEST_F(DirectoryRoutesTest, BaseAddressFollowsAValidHostHeaderOnly) {
  const auto urlFor = [](const std::string& host) {
    const std::string reply = RawGet(server_->port(), "/radio/inter/zenders/holland.txt", "Host: " + host + "\r\n");
    const auto start = reply.find("<url>") + 5;
    return reply.substr(start, reply.find("stream/tone</url>") - start);
  };
  EXPECT_EQ(urlFor("radio.example:9000"), "http://radio.example:9000/");
  EXPECT_EQ(urlFor("[::1]:8470"), "http://[::1]:8470/");
  for (const char* hostile : {"evil.example/x", "a b", "<script>", "x:99999999", "[::1]x"}) {
    EXPECT_EQ(urlFor(hostile), server_->baseAddress()) << hostile;
  }
}

TEST_F(DirectoryRoutesTest, WebsitePagesFollowTheLanguageAndNeedAKnownPage) {
  const auto dutch = Get("/radio/inter/website/index.php?wat=home&lang=nederlands");
  EXPECT_EQ(dutch.status, 200);
  EXPECT_EQ(dutch.get_header_value("Content-Type"), "text/html; charset=utf-8");
  for (const char* text : {"Vandrel Internet Radio", "Landen", "<li>Holland</li>", "<li>Germany</li>"}) {
    EXPECT_NE(dutch.body.find(text), std::string::npos) << text;
  }
  EXPECT_NE(Get("/radio/inter/website/index.php?wat=home&lang=klingon").body.find("Countries"), std::string::npos);
  const auto about = Get("/radio/inter/website/index.php?wat=about");
  EXPECT_EQ(about.status, 200);
  EXPECT_NE(about.body.find("About Vandrel Internet Radio"), std::string::npos);
  EXPECT_EQ(Get("/radio/inter/website/index.php").status, 400);
  EXPECT_EQ(Get("/radio/inter/website/index.php?wat=nonsense").status, 400);
}

TEST_F(DirectoryRoutesTest, FoldersServeTheirIndexAndUnknownThingsAreRefused) {
  const auto cards = Get("/ecards/");
  EXPECT_EQ(cards.status, 200);
  EXPECT_EQ(cards.get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(cards.body.find("E-cards"), std::string::npos);
  const auto bare = Get("/ecards");
  EXPECT_EQ(bare.status, 301);
  EXPECT_EQ(bare.get_header_value("Location"), "/ecards/");

  const auto missing = Get("/radio/inter/zenders/atlantis.txt");
  EXPECT_EQ(missing.status, 404);
  EXPECT_FALSE(missing.body.empty());
  EXPECT_TRUE(LogShows("GET /radio/inter/zenders/atlantis.txt 404"));

  httplib::Client client("127.0.0.1", server_->port());
  auto post = client.Post("/radio/inter/keuze-uk.txt", "x=1", "application/x-www-form-urlencoded");
  auto del = client.Delete("/ecards/");
  ASSERT_TRUE(post && del);
  EXPECT_EQ(post->status, 405);
  EXPECT_EQ(del->status, 405);
  auto head = client.Head("/radio/inter/keuze-uk.txt");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  EXPECT_TRUE(head->body.empty());
  EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(Get("/radio/inter/keuze-uk.txt").body.size()));
}

TEST(DirectoryWebsiteTest, CountryNamesAreEscaped) {
  TempDataFolder data;
  data.write("radio/inter/keuze-uk.txt", "<naam>R&B <Land></naam><bestand>rb.txt</bestand>\r\n");
  DirectoryServerProcess server(data.path().string());
  httplib::Client client("127.0.0.1", server.port());
  auto home = client.Get("/radio/inter/website/index.php?wat=home&lang=english");
  ASSERT_TRUE(home);
  EXPECT_NE(home->body.find("<li>R&amp;B &lt;Land&gt;</li>"), std::string::npos);
  EXPECT_EQ(home->body.find("<Land>"), std::string::npos);
}

}  // namespace
}  // namespace vandrel::test
