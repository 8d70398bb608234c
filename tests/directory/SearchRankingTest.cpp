#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDataFolder.h"
#include "directory/DirectoryImport.h"
#include "directory/Search.h"
#include "directory/StaticFiles.h"

namespace vandrel::test {
namespace {

using directory::Search;
using directory::StaticFiles;

std::vector<std::string> Names(const std::vector<directory::StationHit>& hits) {
  std::vector<std::string> names;
  for (const auto& h : hits) names.push_back(h.name);
  return names;
}

class SearchRankingTest : public ::testing::Test {
 protected:
  SearchRankingTest() {
    tmp_.write("dump.json", R"([
      {"name": "Smooth Jazz Lounge", "url": "http://s/1", "countrycode": "NL", "tags": "easy"},
      {"name": "Jazz", "url": "http://s/2", "countrycode": "NL"},
      {"name": "Jazzy Beats", "url": "http://s/3", "countrycode": "NL"},
      {"name": "Radio Uno", "url": "http://s/4", "countrycode": "IT", "tags": "jazz,news"},
      {"name": "Jazz FM", "url": "http://s/5", "countrycode": "BE"},
      {"name": "Café Müller", "url": "http://s/6", "countrycode": "DE", "tags": "Chansons Françaises"},
      {"name": "ÉCOLE RADIO", "url": "http://s/7", "countrycode": "FR"},
      {"name": "A Radio", "url": "http://s/8", "countrycode": "FR"},
      {"name": "Rock Antenne", "url": "http://s/9", "countrycode": "DE"}
    ])");
    directory::DirectoryImport::Run(tmp_.path() / "dump.json", tmp_.path() / "data");
    files_.emplace(tmp_.path() / "data");
    search_.emplace(*files_, tmp_.path() / "data" / "radio" / "inter" / "zenders");
  }

  std::vector<std::string> find(const std::string& word) const { return Names(search_->find(word)); }

  TempDataFolder tmp_;
  std::optional<StaticFiles> files_;
  std::optional<Search> search_;
};

TEST_F(SearchRankingTest, BestMatchesComeFirst) {
  EXPECT_EQ(search_->size(), 9u);
  // Whole name, then names starting with it, then name words, then prefixes, then tags.
  EXPECT_EQ(find("jazz"), (std::vector<std::string>{"Jazz", "Jazz FM", "Jazzy Beats", "Smooth Jazz Lounge",
                                                    "Radio Uno"}));
  // Every word must match somewhere, in name or tags.
  EXPECT_EQ(find("jazz news"), std::vector<std::string>{"Radio Uno"});
  EXPECT_EQ(find("smooth easy"), std::vector<std::string>{"Smooth Jazz Lounge"});
  EXPECT_EQ(find("polka"), std::vector<std::string>{});
  // A one-letter word matches whole words only, so it cannot match nearly everything.
  EXPECT_EQ(find("radio a"), std::vector<std::string>{"A Radio"});
  EXPECT_EQ(find("radio e"), std::vector<std::string>{});
  // The query anywhere inside a name still counts, after every word match.
  EXPECT_EQ(find("a"), (std::vector<std::string>{"A Radio", "Jazz FM", "ÉCOLE RADIO", "Café Müller", "Rock Antenne",
                                                 "Jazz", "Jazzy Beats", "Smooth Jazz Lounge", "Radio Uno"}));
  EXPECT_EQ(find("ntenn"), std::vector<std::string>{"Rock Antenne"});
}

TEST_F(SearchRankingTest, CaseAndAccentsDoNotMatter) {
  EXPECT_EQ(find("cafe muller"), std::vector<std::string>{"Café Müller"});
  EXPECT_EQ(find("MÜLLER"), std::vector<std::string>{"Café Müller"});
  EXPECT_EQ(find("ecole"), std::vector<std::string>{"ÉCOLE RADIO"});
  EXPECT_EQ(find("école"), std::vector<std::string>{"ÉCOLE RADIO"});
  EXPECT_EQ(find("francaises"), std::vector<std::string>{"Café Müller"});
  EXPECT_EQ(find("chanson"), std::vector<std::string>{"Café Müller"});
}

TEST(SearchIndexTest, ListsWithoutAnIndexAreSearchedByName) {
  TempDataFolder data;
  data.write("radio/inter/zenders/a.txt",
             "<naam>Zürich Eins</naam><url>http://z/1</url><homepage></homepage>\r\n"
             "<naam>Bern</naam><url>http://b/</url><homepage></homepage>\r\n");
  StaticFiles files(data.path());
  Search search(files, data.path() / "radio" / "inter" / "zenders");
  EXPECT_EQ(Names(search.find("zurich")), std::vector<std::string>{"Zürich Eins"});
  EXPECT_EQ(Names(search.find("")), (std::vector<std::string>{"Zürich Eins", "Bern"}));
  EXPECT_EQ(Names(search.find("", 1)), std::vector<std::string>{"Zürich Eins"});
  // A name holding tags cannot smuggle an address into the answer.
  EXPECT_EQ(Search::Format({{"A<url>x</url>", "{{base}}s"}}, "http://h/"),
            "<naam>Aurlx/url</naam><url>http://h/s</url>\r\n");
}

}  // namespace
}  // namespace vandrel::test
