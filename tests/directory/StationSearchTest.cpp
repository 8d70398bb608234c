#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "DirectoryTestKit.h"
#include "directory/DirectoryImport.h"
#include "directory/Search.h"
#include "directory/StaticFiles.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

using directory::Search;
using directory::StaticFiles;

// Ranked search over what the import wrote, with its index of names and tags.
TEST(SearchRankingTest, BestMatchesComeFirstAndCaseAndAccentsDoNotMatter) {
  TempFolder tmp;
  tmp.write("dump.json", R"([
    {"name": "Smooth Jazz Lounge", "url": "http://s/1", "countrycode": "NL", "tags": "easy"},
    {"name": "Jazz", "url": "http://s/2", "countrycode": "NL"},
    {"name": "Jazzy Beats", "url": "http://s/3", "countrycode": "NL"},
    {"name": "Radio Uno", "url": "http://s/4", "countrycode": "IT", "tags": "jazz,news"},
    {"name": "Jazz FM", "url": "http://s/5", "countrycode": "BE"},
    {"name": "Café Müller", "url": "http://s/6", "countrycode": "DE", "tags": "Chansons Françaises"},
    {"name": "ÉCOLE RADIO", "url": "http://s/7", "countrycode": "FR"},
    {"name": "A Radio", "url": "http://s/8", "countrycode": "FR"},
    {"name": "Rock Antenne", "url": "http://s/9", "countrycode": "DE"}])");
  directory::DirectoryImport::Run(tmp.path() / "dump.json", tmp.path() / "data");
  const StaticFiles files(tmp.path() / "data");
  const Search search(files, tmp.path() / "data" / "radio" / "inter" / "zenders");
  const auto find = [&](std::string_view word) {
    std::vector<std::string> names;
    for (const auto& hit : search.find(word)) names.push_back(hit.name);
    return names;
  };

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

  for (const char* query : {"cafe muller", "MÜLLER", "francaises", "chanson"}) {
    EXPECT_EQ(find(query), std::vector<std::string>{"Café Müller"}) << query;
  }
  EXPECT_EQ(find("ecole"), std::vector<std::string>{"ÉCOLE RADIO"});
  EXPECT_EQ(find("école"), std::vector<std::string>{"ÉCOLE RADIO"});
}

// A name holding tags cannot smuggle an address into the answer.
TEST(SearchFormatTest, NamesCannotAddTags) {
  EXPECT_EQ(Search::Format({{"A<url>x</url>", "{{base}}s"}}, "http://h/"),
            "<naam>Aurlx/url</naam><url>http://h/s</url>\r\n");
}

std::string Line(const std::string& name, const std::string& url) {
  return "<naam>" + name + "</naam><url>" + url + "</url>\r\n";
}

class StationSearchTest : public ::testing::Test {
 protected:
  StationSearchTest() {
    // Without a search index: names only, files in name order, not creation order.
    data_.write("radio/inter/zenders/b.txt",
                "<naam>Rock & Roll Radio</naam><url>http://one/</url><homepage></homepage>\r\n"
                "<naam>ROCK & ROLL Classics</naam><url>{{base}}classics</url><homepage>x</homepage>\r\n");
    data_.write("radio/inter/zenders/a.txt",
                "<naam>Rock & Roll Radio</naam><url>http://one/</url><homepage></homepage>\r\n"
                "<naam>Jazz+Blues</naam><url>http://jazz/</url><homepage></homepage>\r\n"
                "<naam>Zürich Eins</naam><url>http://z/</url><homepage></homepage>\r\n"
                "<naam>Rock & Roll Radio</naam><url>http://one/</url><homepage></homepage>\r\n"
                "<naam>Rock & Roll Nameless</naam>\r\n");
    data_.write("radio/inter/zenders/notes.md", "<naam>Rock & Roll Notes</naam><url>http://notes/</url>");
    server_.emplace(data_.path().string());
  }

  std::string Ask(const std::string& query) {
    const auto reply = Fetch(server_->port(), "/radio/inter/zenders/radio-lijst-zoek.php" + query);
    EXPECT_EQ(reply.status, 200) << query;
    EXPECT_EQ(reply.get_header_value("Content-Type"), "text/plain; charset=utf-8") << query;
    return reply.body;
  }

  TempFolder data_;
  std::optional<DirectoryServerProcess> server_;
};

TEST_F(StationSearchTest, FindsNamesCaseInsensitivelyInFileOrderOnce) {
  const std::string classics = Line("ROCK & ROLL Classics", server_->baseAddress() + "classics");
  EXPECT_EQ(Ask("?zoeken=rock%20%26%20roll"), Line("Rock & Roll Radio", "http://one/") + classics);
  EXPECT_EQ(Ask("?zoeken=jazz%2Bblues"), Line("Jazz+Blues", "http://jazz/"));
  EXPECT_EQ(Ask("?zoeken=zurich"), Line("Zürich Eins", "http://z/"));
  EXPECT_EQ(Ask("?zoeken=polka"), "");
  EXPECT_EQ(Ask("?zoeken="), Line("Rock & Roll Radio", "http://one/") + Line("Jazz+Blues", "http://jazz/") +
                                    Line("Zürich Eins", "http://z/") + classics);
}

}  // namespace
}  // namespace vandrel::test
