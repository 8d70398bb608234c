#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "player/TaggedList.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

namespace fs = std::filesystem;

const fs::path kInter = fs::path(VANDREL_SHIPPED_DIRECTORY_DATA) / "radio" / "inter";

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(ShippedDirectoryDataTest, EveryCountryNamesAnExistingList) {
  const auto values = ParseTaggedList(ReadAll(kInter / "keuze-uk.txt"), {"naam", "bestand"});
  const auto& names = values[0];
  const auto& files = values[1];
  ASSERT_GE(names.size(), 8u);
  ASSERT_EQ(names.size(), files.size());
  EXPECT_EQ(names.front(), "Holland");
  for (const std::string& file : files) {
    EXPECT_TRUE(fs::is_regular_file(kInter / "zenders" / file)) << file;
  }
}

TEST(ShippedDirectoryDataTest, EveryListPairsItsValues) {
  std::size_t lists = 0;
  for (const auto& entry : fs::directory_iterator(kInter / "zenders")) {
    if (entry.path().extension() != ".txt") continue;
    ++lists;
    const std::string name = entry.path().filename().string();
    const auto v = ParseTaggedList(ReadAll(entry.path()), {"naam", "url", "homepage"});
    EXPECT_EQ(v[0].size(), v[1].size()) << name;
    EXPECT_EQ(v[0].size(), v[2].size()) << name;
    EXPECT_GE(v[0].size(), 4u) << name;
    EXPECT_LE(v[0].size(), 8u) << name;
    for (const std::string& url : v[1]) {
      EXPECT_TRUE(url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0 || url.rfind("{{base}}", 0) == 0)
          << name << ": " << url;
    }
    for (const std::string& homepage : v[2]) {
      EXPECT_EQ(homepage.find("://"), std::string::npos) << name << ": " << homepage;
    }
  }
  EXPECT_GE(lists, 8u);
}

TEST(ShippedDirectoryDataTest, TheDutchListStartsWithThePlayableLocalTone) {
  const auto v = ParseTaggedList(ReadAll(kInter / "zenders" / "holland.txt"), {"naam", "url", "homepage"});
  ASSERT_FALSE(v[0].empty());
  EXPECT_EQ(v[0][0], "Vandrel Testtoon (lokaal)");
  EXPECT_EQ(v[1][0], "{{base}}stream/tone");
  EXPECT_EQ(v[2][0], "");

  DirectoryServerProcess server;
  httplib::Client client("127.0.0.1", server.port());
  auto tone = client.Get("/stream/tone?seconds=1");
  ASSERT_TRUE(tone);
  EXPECT_EQ(tone->status, 200);
  EXPECT_EQ(tone->body.substr(0, 4), "RIFF");
}

}  // namespace
}  // namespace vandrel::test
