#include <gtest/gtest.h>
#include <httplib.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "TempDataFolder.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

namespace fs = std::filesystem;

std::string Gunzip(const std::string& data) {
  z_stream zs{};
  inflateInit2(&zs, 15 + 16);
  std::string out(1 << 20, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  inflateEnd(&zs);
  return rc == Z_STREAM_END ? out : "<not gzip>";
}

std::string ManyStations(const std::string& word) {
  std::string list;
  for (int i = 0; i < 50; ++i) {
    list += "<naam>" + word + " " + std::to_string(i) + "</naam><url>http://s/" + std::to_string(i) +
            "</url><homepage></homepage>\r\n";
  }
  return list;
}

class DirectoryCachingTest : public ::testing::Test {
 protected:
  DirectoryCachingTest() {
    data_.write("radio/inter/zenders/big.txt", ManyStations("Station"));
    data_.write("radio/inter/zenders/local.txt", "<naam>Tone</naam><url>{{base}}stream/tone</url>\r\n");
    server_.emplace(data_.path().string(), std::vector<std::string>{"--quiet"});
  }

  httplib::Result get(const std::string& path, const httplib::Headers& headers = {}) {
    httplib::Client client("127.0.0.1", server_->port());
    client.set_decompress(false);
    return client.Get(path, headers);
  }

  TempDataFolder data_;
  std::optional<DirectoryServerProcess> server_;
};

TEST_F(DirectoryCachingTest, ListsCarryValidatorsAndAnswerConditionalRequests) {
  auto plain = get("/radio/inter/zenders/big.txt");
  ASSERT_TRUE(plain);
  const std::string etag = plain->get_header_value("ETag");
  const std::string modified = plain->get_header_value("Last-Modified");
  EXPECT_EQ(plain->body, ManyStations("Station"));
  ASSERT_FALSE(etag.empty());
  EXPECT_TRUE(modified.ends_with(" GMT")) << modified;

  auto same = get("/radio/inter/zenders/big.txt", {{"If-None-Match", "\"other\", " + etag}});
  ASSERT_TRUE(same);
  EXPECT_EQ(same->status, 304);
  EXPECT_EQ(same->body, "");
  EXPECT_EQ(get("/radio/inter/zenders/big.txt", {{"If-None-Match", "\"other\""}})->status, 200);
  EXPECT_EQ(get("/radio/inter/zenders/big.txt", {{"If-Modified-Since", modified}})->status, 304);
  EXPECT_EQ(get("/radio/inter/zenders/big.txt", {{"If-Modified-Since", "Thu, 01 Jan 1998 00:00:00 GMT"}})->status,
            200);
  EXPECT_EQ(get("/radio/inter/zenders/big.txt", {{"If-Modified-Since", "yesterday"}})->status, 200);

  // A changed file is read afresh, with a new tag; the old tag no longer matches.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  data_.write("radio/inter/zenders/big.txt", ManyStations("Changed"));
  auto changed = get("/radio/inter/zenders/big.txt", {{"If-None-Match", etag}});
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->status, 200);
  EXPECT_EQ(changed->body, ManyStations("Changed"));
  EXPECT_NE(changed->get_header_value("ETag"), etag);
  fs::remove(data_.path() / "radio/inter/zenders/big.txt");
  EXPECT_EQ(get("/radio/inter/zenders/big.txt")->status, 404);
}

TEST_F(DirectoryCachingTest, GzipOnlyWhenTheClientTakesIt) {
  for (const char* accepts : {"gzip", "deflate, gzip;q=0.5", "*", "br, GZIP"}) {
    auto zipped = get("/radio/inter/zenders/big.txt", {{"Accept-Encoding", accepts}});
    ASSERT_TRUE(zipped);
    EXPECT_EQ(zipped->get_header_value("Content-Encoding"), "gzip") << accepts;
    EXPECT_EQ(zipped->get_header_value("Vary"), "Accept-Encoding");
    EXPECT_EQ(Gunzip(zipped->body), ManyStations("Station")) << accepts;
  }
  for (const char* refuses : {"", "gzip;q=0", "identity", "br", "*;q=0", "gzip; q=0.000"}) {
    auto plain = get("/radio/inter/zenders/big.txt", {{"Accept-Encoding", refuses}});
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->has_header("Content-Encoding")) << refuses;
    EXPECT_EQ(plain->body, ManyStations("Station")) << refuses;
  }
  // The search answer is compressed too, and HEAD gives the length GET sends.
  auto search = get("/radio/inter/zenders/radio-lijst-zoek.php?zoeken=station", {{"Accept-Encoding", "gzip"}});
  ASSERT_TRUE(search);
  EXPECT_EQ(search->get_header_value("Content-Encoding"), "gzip");
  EXPECT_NE(Gunzip(search->body).find("<naam>Station 49</naam>"), std::string::npos);
  httplib::Client client("127.0.0.1", server_->port());
  auto head = client.Head("/radio/inter/zenders/big.txt", {{"Accept-Encoding", "gzip"}});
  ASSERT_TRUE(head);
  EXPECT_EQ(head->get_header_value("Content-Length"),
            std::to_string(get("/radio/inter/zenders/big.txt", {{"Accept-Encoding", "gzip"}})->body.size()));
}

TEST_F(DirectoryCachingTest, ListsNamingThisServerDifferPerHost) {
  auto one = get("/radio/inter/zenders/local.txt", {{"Host", "one.example"}});
  auto two = get("/radio/inter/zenders/local.txt", {{"Host", "two.example"}});
  ASSERT_TRUE(one && two);
  EXPECT_EQ(one->body, "<naam>Tone</naam><url>http://one.example/stream/tone</url>\r\n");
  EXPECT_NE(one->get_header_value("ETag"), two->get_header_value("ETag"));
  EXPECT_EQ(get("/radio/inter/zenders/local.txt", {{"Host", "one.example"}, {"If-None-Match", one->get_header_value("ETag")}})
                ->status,
            304);
  EXPECT_EQ(get("/radio/inter/zenders/local.txt", {{"Host", "two.example"}, {"If-None-Match", one->get_header_value("ETag")}})
                ->status,
            200);
}

}  // namespace
}  // namespace vandrel::test
