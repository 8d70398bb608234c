#include <gtest/gtest.h>
#include <httplib.h>

#include <optional>
#include <string>

#include "TempDataFolder.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

constexpr const char* kSearch = "/radio/inter/zenders/radio-lijst-zoek.php";

std::string Line(const std::string& name, const std::string& url) {
  return "<naam>" + name + "</naam><url>" + url + "</url>\r\n";
}

class StationSearchTest : public ::testing::Test {
 protected:
  StationSearchTest() {
    // Written "b" first so that name order, not creation order, must decide.
    data_.write("radio/inter/zenders/b.txt",
                "<naam>Rock & Roll Radio</naam><url>http://one/</url><homepage></homepage>\r\n"
                "<naam>ROCK & ROLL Classics</naam><url>{{base}}classics</url><homepage>x</homepage>\r\n");
    data_.write("radio/inter/zenders/a.txt",
                "<naam>Rock & Roll Radio</naam><url>http://one/</url><homepage></homepage>\r\n"
                "<naam>Jazz+Blues</naam><url>http://jazz/</url><homepage></homepage>\r\n"
                "<naam>Rock & Roll Radio</naam><url>http://one/</url><homepage></homepage>\r\n"
                "<naam>Rock & Roll Nameless</naam>\r\n");
    data_.write("radio/inter/zenders/notes.md", "<naam>Rock & Roll Notes</naam><url>http://notes/</url>");
    server_.emplace(data_.path().string());
  }

  httplib::Result Search(const std::string& query) {
    httplib::Client client("127.0.0.1", server_->port());
    return client.Get(std::string(kSearch) + query);
  }

  TempDataFolder data_;
  std::optional<DirectoryServerProcess> server_;
};

TEST_F(StationSearchTest, FindsNamesCaseInsensitivelyInFileOrderOnce) {
  auto reply = Search("?zoeken=rock%20%26%20roll");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(reply->get_header_value("Content-Type"), "text/plain; charset=utf-8");
  EXPECT_EQ(reply->body, Line("Rock & Roll Radio", "http://one/") +
                             Line("ROCK & ROLL Classics", server_->baseAddress() + "classics"));
}

TEST_F(StationSearchTest, PlusSignsAndEmptyWordsAndMisses) {
  auto plus = Search("?zoeken=jazz%2Bblues");
  ASSERT_TRUE(plus);
  EXPECT_EQ(plus->body, Line("Jazz+Blues", "http://jazz/"));

  auto miss = Search("?zoeken=polka");
  ASSERT_TRUE(miss);
  EXPECT_EQ(miss->status, 200);
  EXPECT_EQ(miss->body, "");

  auto all = Search("?zoeken=");
  ASSERT_TRUE(all);
  EXPECT_EQ(all->body, Line("Rock & Roll Radio", "http://one/") + Line("Jazz+Blues", "http://jazz/") +
                           Line("ROCK & ROLL Classics", server_->baseAddress() + "classics"));

  auto none = Search("");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->status, 400);
  auto malformed = Search("?zoeken=%zz");
  ASSERT_TRUE(malformed);
  EXPECT_EQ(malformed->status, 400);
}

TEST(StationSearchLimitTest, StopsAtTwoHundredHits) {
  TempDataFolder data;
  std::string list;
  for (int i = 0; i < 250; ++i) {
    list += "<naam>Station " + std::to_string(i) + "</naam><url>http://s/" + std::to_string(i) + "</url>\r\n";
  }
  data.write("radio/inter/zenders/many.txt", list);
  DirectoryServerProcess server(data.path().string());
  httplib::Client client("127.0.0.1", server.port());
  auto reply = client.Get(std::string(kSearch) + "?zoeken=station");
  ASSERT_TRUE(reply);
  std::size_t lines = 0;
  for (std::size_t at = reply->body.find("\r\n"); at != std::string::npos; at = reply->body.find("\r\n", at + 2)) ++lines;
  EXPECT_EQ(lines, 200u);
  EXPECT_NE(reply->body.find("http://s/199<"), std::string::npos);
  EXPECT_EQ(reply->body.find("http://s/200<"), std::string::npos);
}

}  // namespace
}  // namespace vandrel::test
