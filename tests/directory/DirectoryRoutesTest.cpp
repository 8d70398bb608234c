#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>

#include "DirectoryTestKit.h"
#include "platform/Gunzip.h"
#include "player/TaggedList.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

namespace fs = std::filesystem;

class DirectoryRoutesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<DirectoryServerProcess>(); }
  static void TearDownTestSuite() { server_.reset(); }

  static httplib::Response Get(const std::string& target) { return Fetch(server_->port(), target); }

  // The log line is written just after the reply, so give it a moment.
  static bool LogShows(const std::string& line) {
    for (int i = 0; i < 200; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
      if (server_->log().find(line + "\n") != std::string::npos) return true;
    }
    return false;
  }

  static inline std::unique_ptr<DirectoryServerProcess> server_;
};

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
  const std::string page = "/radio/inter/website/index.php";
  const auto dutch = Get(page + "?wat=home&lang=nederlands");
  EXPECT_EQ(dutch.status, 200);
  EXPECT_EQ(dutch.get_header_value("Content-Type"), "text/html; charset=utf-8");
  for (const char* text : {"Landen", "<li>Holland</li>", "<li>Germany</li>"}) {
    EXPECT_NE(dutch.body.find(text), std::string::npos) << text;
  }
  EXPECT_NE(Get(page + "?wat=home&lang=klingon").body.find("Countries"), std::string::npos);
  EXPECT_NE(Get(page + "?wat=about").body.find("About Vandrel Internet Radio"), std::string::npos);
  EXPECT_EQ(Get(page).status, 400);
  EXPECT_EQ(Get(page + "?wat=nonsense").status, 400);
}

TEST_F(DirectoryRoutesTest, FoldersServeTheirIndexAndUnknownThingsAreRefused) {
  const auto cards = Get("/ecards/");
  EXPECT_EQ(cards.status, 200);
  EXPECT_EQ(cards.get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(cards.body.find("E-cards"), std::string::npos);
  EXPECT_EQ(Get("/ecards").status, 301);
  EXPECT_EQ(Get("/ecards").get_header_value("Location"), "/ecards/");

  EXPECT_EQ(Get("/radio/inter/zenders/atlantis.txt").status, 404);
  EXPECT_FALSE(Get("/radio/inter/zenders/atlantis.txt").body.empty());
  EXPECT_TRUE(LogShows("GET /radio/inter/zenders/atlantis.txt 404"));

  httplib::Client client("127.0.0.1", server_->port());
  EXPECT_EQ(StatusOf(client.Post("/radio/inter/keuze-uk.txt", "x=1", "application/x-www-form-urlencoded")), 405);
  EXPECT_EQ(StatusOf(client.Delete("/ecards/")), 405);
  auto head = client.Head("/radio/inter/keuze-uk.txt");
  ASSERT_EQ(StatusOf(head), 200);
  EXPECT_TRUE(head->body.empty());
  EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(Get("/radio/inter/keuze-uk.txt").body.size()));
}

// Every shipped country names a list whose records pair up and whose addresses the player can open.
TEST(ShippedDirectoryDataTest, EveryCountryNamesAWellFormedList) {
  const fs::path inter = fs::path(VANDREL_SHIPPED_DIRECTORY_DATA) / "radio" / "inter";
  const auto countries = ParseTaggedList(ReadFile(inter / "keuze-uk.txt"), {"naam", "bestand"});
  ASSERT_FALSE(countries[1].empty());
  ASSERT_EQ(countries[0].size(), countries[1].size());
  for (const std::string& file : countries[1]) {
    ASSERT_TRUE(fs::is_regular_file(inter / "zenders" / file)) << file;
    const auto v = ParseTaggedList(ReadFile(inter / "zenders" / file), {"naam", "url", "homepage"});
    EXPECT_TRUE(!v[0].empty() && v[0].size() == v[1].size() && v[0].size() == v[2].size()) << file;
    for (const std::string& url : v[1]) {
      EXPECT_TRUE(url.starts_with("http://") || url.starts_with("https://") || url.starts_with("{{base}}"))
          << file << ": " << url;
    }
    for (const std::string& homepage : v[2]) EXPECT_EQ(homepage.find("://"), std::string::npos) << file;
  }
}

constexpr const char* kBig = "/radio/inter/zenders/big.txt";

// The player's own unpacker reads what the server packs.
std::string Gunzip(const std::string& data) { return vandrel::Gunzip(data, 1 << 20); }

// More stations than one search answer may hold.
std::string ManyStations(const std::string& word) {
  std::string list;
  for (int i = 0; i < 250; ++i) {
    list += "<naam>" + word + " " + std::to_string(i) + "</naam><url>http://s/" + std::to_string(i) + "</url>\r\n";
  }
  return list;
}

class DirectoryCachingTest : public ::testing::Test {
 protected:
  DirectoryCachingTest() {
    data_.write("radio/inter/keuze-uk.txt", "<naam>R&B <Land></naam><bestand>big.txt</bestand>\r\n");
    data_.write("radio/inter/zenders/big.txt", ManyStations("Station"));
    data_.write("radio/inter/zenders/local.txt", "<naam>Tone</naam><url>{{base}}stream/tone</url>\r\n");
    server_.emplace(data_.path().string(), std::vector<std::string>{"--quiet"});
  }

  httplib::Response get(const std::string& path, const httplib::Headers& headers = {}) {
    return Fetch(server_->port(), path, headers);
  }

  TempFolder data_;
  std::optional<DirectoryServerProcess> server_;
};

TEST_F(DirectoryCachingTest, ListsCarryValidatorsAndAnswerConditionalRequests) {
  const auto plain = get(kBig);
  const std::string etag = plain.get_header_value("ETag");
  const std::string modified = plain.get_header_value("Last-Modified");
  EXPECT_EQ(plain.body, ManyStations("Station"));
  ASSERT_FALSE(etag.empty());
  EXPECT_TRUE(modified.ends_with(" GMT")) << modified;

  const auto same = get(kBig, {{"If-None-Match", "\"other\", " + etag}});
  EXPECT_EQ(same.status, 304);
  EXPECT_EQ(same.body, "");
  EXPECT_EQ(get(kBig, {{"If-None-Match", "\"other\""}}).status, 200);
  EXPECT_EQ(get(kBig, {{"If-Modified-Since", modified}}).status, 304);
  EXPECT_EQ(get(kBig, {{"If-Modified-Since", "Thu, 01 Jan 1998 00:00:00 GMT"}}).status, 200);
  EXPECT_EQ(get(kBig, {{"If-Modified-Since", "yesterday"}}).status, 200);

  // A changed file is read afresh, with a new tag; the old tag no longer matches.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  data_.write("radio/inter/zenders/big.txt", ManyStations("Changed"));
  const auto changed = get(kBig, {{"If-None-Match", etag}});
  EXPECT_EQ(changed.status, 200);
  EXPECT_EQ(changed.body, ManyStations("Changed"));
  EXPECT_NE(changed.get_header_value("ETag"), etag);
  std::filesystem::remove(data_.path() / "radio/inter/zenders/big.txt");
  EXPECT_EQ(get(kBig).status, 404);
}

TEST_F(DirectoryCachingTest, GzipOnlyWhenTheClientTakesIt) {
  for (const char* accepts : {"gzip", "deflate, gzip;q=0.5", "*", "br, GZIP"}) {
    const auto zipped = get(kBig, {{"Accept-Encoding", accepts}});
    EXPECT_EQ(zipped.get_header_value("Content-Encoding"), "gzip") << accepts;
    EXPECT_EQ(zipped.get_header_value("Vary"), "Accept-Encoding");
    EXPECT_EQ(Gunzip(zipped.body), ManyStations("Station")) << accepts;
  }
  for (const char* refuses : {"", "gzip;q=0", "identity", "*;q=0", "gzip; q=0.000"}) {
    const auto plain = get(kBig, {{"Accept-Encoding", refuses}});
    EXPECT_FALSE(plain.has_header("Content-Encoding")) << refuses;
    EXPECT_EQ(plain.body, ManyStations("Station")) << refuses;
  }
  auto head = httplib::Client("127.0.0.1", server_->port()).Head(kBig, {{"Accept-Encoding", "gzip"}});
  ASSERT_TRUE(head);
  EXPECT_EQ(head->get_header_value("Content-Length"),
            std::to_string(get(kBig, {{"Accept-Encoding", "gzip"}}).body.size()));
}

TEST_F(DirectoryCachingTest, SearchAnswersAreCompressedAndStopAtTwoHundredHits) {
  const auto search = get("/radio/inter/zenders/radio-lijst-zoek.php?zoeken=station", {{"Accept-Encoding", "gzip"}});
  EXPECT_EQ(search.get_header_value("Content-Encoding"), "gzip");
  const std::string body = Gunzip(search.body);
  EXPECT_EQ(std::count(body.begin(), body.end(), '\n'), 200);
  EXPECT_NE(body.find("http://s/199<"), std::string::npos);
  EXPECT_EQ(body.find("http://s/200<"), std::string::npos);
}

TEST_F(DirectoryCachingTest, WebsiteEscapesCountryNames) {
  const std::string home = get("/radio/inter/website/index.php?wat=home&lang=english").body;
  EXPECT_NE(home.find("<li>R&amp;B &lt;Land&gt;</li>"), std::string::npos);
  EXPECT_EQ(home.find("<Land>"), std::string::npos);
}

TEST_F(DirectoryCachingTest, ListsNamingThisServerDifferPerHost) {
  const std::string local = "/radio/inter/zenders/local.txt";
  const auto one = get(local, {{"Host", "one.example"}});
  EXPECT_EQ(one.body, "<naam>Tone</naam><url>http://one.example/stream/tone</url>\r\n");
  const std::string etag = one.get_header_value("ETag");
  EXPECT_NE(etag, get(local, {{"Host", "two.example"}}).get_header_value("ETag"));
  EXPECT_EQ(get(local, {{"Host", "one.example"}, {"If-None-Match", etag}}).status, 304);
  EXPECT_EQ(get(local, {{"Host", "two.example"}, {"If-None-Match", etag}}).status, 200);
}

}  // namespace
}  // namespace vandrel::test
