#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DirectoryTestKit.h"
#include "directory/DirectoryImport.h"
#include "directory/TaggedListWriter.h"
#include "player/TaggedList.h"

namespace vandrel::test {
namespace {

namespace fs = std::filesystem;
using directory::DirectoryImport;
using directory::TaggedListWriter;

// Every file below folder with its content, to see that nothing changed.
std::vector<std::pair<std::string, std::string>> Snapshot(const fs::path& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (e.is_regular_file()) files.emplace_back(fs::relative(e.path(), folder).string(), ReadFile(e.path()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

constexpr const char* kDump = R"([
  {"name": "Radio </naam><url>http://evil/</url><naam>", "url": "http://x.example/raw",
   "url_resolved": "http://nl.example/one", "homepage": "https://nl.example/", "country": "The Netherlands",
   "countrycode": "NL", "tags": "pop, rock", "lastcheckok": 1, "votes": 12, "geo": {"lat": 1.5, "l": [1, {"a": null}]}},
  {"name": "Same stream again", "url_resolved": "HTTP://NL.EXAMPLE/one", "homepage": "", "countrycode": "NL",
   "tags": "Jazz,POP", "lastcheckok": true},
  {"name": "Gone", "url": "http://de.example/gone", "countrycode": "DE", "lastcheckok": 0},
  {"name": "Gone too", "url": "http://de.example/gone2", "countrycode": "DE", "lastcheckok": false},
  {"name": "No address", "url": "", "url_resolved": "", "countrycode": "DE"},
  {"name": "Not an address", "url": "just text", "countrycode": "DE"},
  {"url": "http://de.example/nameless", "country": "Germany"},
  {"name": 42, "url": "http://de.example/numbered", "countrycode": "de", "lastcheckok": "1"},
  {"name": "Café  Müller\n\tLive", "url": "http://ci.example/", "country": "Côte D'Ivoire",
   "countrycode": "CI", "tags": ["chanson", " café "]},
  {"name": "Rock <3 Radio", "url": "http://gb.example/", "country": "UK", "countrycode": "GB"},
  {"name": "Москва FM", "url": "http://ru.example/", "country": "Россия", "countrycode": ""},
  {"name": "Nowhere", "url": "http://int.example/", "country": "", "countrycode": null},
  {"name": "Placeholder {{base}}", "url": "http://int.example/2", "country": "", "countrycode": ""}
])";

class DirectoryImportTest : public ::testing::Test {
 protected:
  fs::path dump(const std::string& text) const { return tmp_.write("dump.json", text); }
  fs::path out() const { return tmp_.path() / "data"; }
  fs::path lists() const { return out() / "radio" / "inter" / "zenders"; }
  std::vector<std::vector<std::string>> list(const std::string& file) const {
    return ParseTaggedList(ReadFile(lists() / file), {"naam", "url", "homepage"});
  }

  TempFolder tmp_;
};

TEST_F(DirectoryImportTest, WritesOneListPerCountryThatThePlayerReadsBack) {
  const auto summary = DirectoryImport::Run(dump(kDump), out());
  EXPECT_EQ((std::vector<std::size_t>{summary.read, summary.failedCheck, summary.noAddress, summary.merged, summary.kept}),
            (std::vector<std::size_t>{13, 2, 2, 1, 8}));

  const auto countries = ParseTaggedList(ReadFile(out() / "radio/inter/keuze-uk.txt"), {"naam", "bestand"});
  // Sorted by name with accents aside; names in other scripts get a safe file name.
  ASSERT_EQ(countries[0].size(), 6u);
  EXPECT_EQ(countries[0], (std::vector<std::string>{"Côte d'Ivoire", "Germany", "Holland", "International",
                                                    "United Kingdom", "Россия"}));
  EXPECT_EQ(std::vector<std::string>(countries[1].begin(), countries[1].end() - 1),
            (std::vector<std::string>{"cote-d-ivoire.txt", "germany.txt", "holland.txt", "international.txt", "uk.txt"}));
  EXPECT_EQ(countries[1][5].find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), 0u + countries[1][5].size() - 4);
  for (const std::string& file : countries[1]) EXPECT_TRUE(fs::is_regular_file(lists() / file)) << file;

  // The tag-laden name cannot add an address of its own; the duplicate is merged into it.
  EXPECT_EQ(list("holland.txt"), (std::vector<std::vector<std::string>>{
                                    {"Radio /naamurlhttp://evil//urlnaam"}, {"http://nl.example/one"}, {"https://nl.example/"}}));

  // Nameless and non-string names fall back to the address; lists are sorted by name.
  const auto germany = list("germany.txt");
  EXPECT_EQ(germany[0], (std::vector<std::string>{"http://de.example/nameless", "http://de.example/numbered"}));
  EXPECT_EQ(germany[1], germany[0]);

  EXPECT_EQ(list("cote-d-ivoire.txt")[0], std::vector<std::string>{"Café Müller Live"});
  EXPECT_EQ(list("uk.txt")[0], std::vector<std::string>{"Rock <3 Radio"});
  EXPECT_EQ(list(countries[1][5])[0], std::vector<std::string>{"Москва FM"});
  // The server would fill "{{base}}" in with its own address.
  EXPECT_EQ(list("international.txt")[0], (std::vector<std::string>{"Nowhere", "Placeholder base"}));

  const auto index = ParseTaggedList(ReadFile(out() / DirectoryImport::kIndexFile), {"naam", "url", "tags"});
  ASSERT_EQ(index[0].size(), 8u);
  ASSERT_EQ(index[2].size(), 8u);
  const auto at = std::find(index[1].begin(), index[1].end(), "http://nl.example/one") - index[1].begin();
  EXPECT_EQ(index[2][at], "pop,rock,Jazz");
}

TEST_F(DirectoryImportTest, BadDumpsWriteNothingAndLeaveTheOldImportInPlace) {
  DirectoryImport::Run(dump(R"([{"name": "Old", "url": "http://old.example/", "countrycode": "NL"}])"), out());
  const auto before = Snapshot(out());
  for (const std::string& bad : std::vector<std::string>{
           R"([{"name": "Cut off", "url": "http://a/")", R"({"name": "not a list"})", R"(["just text"])",
           R"([{"name": "x", "url": "http://a/"}] trailing)", "",
           "[{\"name\": \"bad \xff byte\", \"url\": \"http://a/\"}]",
           R"([{"name": "all fail", "url": "http://a/", "lastcheckok": 0}])",
           R"([{"name": "x", "url": "http://a/", "deep": )" + std::string(100000, '[') + std::string(100000, ']') +
               "}]"}) {
    try {
      DirectoryImport::Run(dump(bad), out());
      ADD_FAILURE() << "accepted: " << bad;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("nothing was written"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Snapshot(out()), before) << bad;
  }
  // No stray temporary folders beside the output.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(tmp_.path())) ++entries;
  EXPECT_EQ(entries, 2u);  // dump.json and data

  DirectoryImport::Run(dump(R"([{"name": "New", "url": "http://new.example/", "countrycode": "BE"}])"), out());
  EXPECT_FALSE(fs::exists(lists() / "holland.txt"));
  EXPECT_EQ(list("belgium.txt")[0], std::vector<std::string>{"New"});
}

TEST_F(DirectoryImportTest, NeverReplacesAFolderItDidNotWrite) {
  tmp_.write("data/ecards/index.html", "mine");
  EXPECT_THROW(DirectoryImport::Run(dump(R"([{"name": "A", "url": "http://a/"}])"), out()), std::runtime_error);
  EXPECT_EQ(ReadFile(out() / "ecards/index.html"), "mine");
  tmp_.write("file", "x");
  EXPECT_THROW(DirectoryImport::Run(dump(R"([{"name": "A", "url": "http://a/"}])"), tmp_.path() / "file"),
               std::runtime_error);
  EXPECT_THROW(DirectoryImport::Run(tmp_.path() / "missing.json", tmp_.path() / "new"), std::runtime_error);
  EXPECT_FALSE(fs::exists(tmp_.path() / "new"));
}

// Values built from tag fragments come back from the player's parser as the writer cleaned them.
TEST(TaggedListWriterTest, WhatIsWrittenIsWhatThePlayerReads) {
  const std::vector<std::string> pieces = {"<", ">", "/", "naam", "NaAm", "url", "homepage", "x", " ", "\n", "<3", "\x7F", "\x01"};
  std::uint32_t seed = 12345;
  const auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8) % pieces.size(); };
  TaggedListWriter writer;
  std::vector<std::vector<std::string>> expected(3);
  for (int record = 0; record < 2000; ++record) {
    for (int field = 0; field < 3; ++field) {
      std::string value;
      for (int k = static_cast<int>(next() % 8); k > 0; --k) value += pieces[next()];
      writer.add(field == 0 ? "naam" : field == 1 ? "url" : "homepage", value);
      expected[field].push_back(TaggedListWriter::Clean(value));
    }
    writer.endRecord();
  }
  EXPECT_EQ(ParseTaggedList(writer.text(), {"naam", "url", "homepage"}), expected);
  EXPECT_EQ(TaggedListWriter::Clean("Rock <3 & a > b"), "Rock <3 & a > b");
  EXPECT_EQ(TaggedListWriter::Clean("a<<naam>>b"), "anaamb");
  EXPECT_EQ(TaggedListWriter::Clean("line\r\nbreak\x01"), "line  break");
  EXPECT_EQ(TaggedListWriter::Clean("<na\x7F" "am>x</na\x01" "am>"), "naamx/naam");
}

}  // namespace
}  // namespace vandrel::test
