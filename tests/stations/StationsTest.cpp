#include <gtest/gtest.h>

#include <filesystem>

#include "core/FolderFiles.h"
#include "stations/FavouriteFiles.h"
#include "stations/SearchAddress.h"
#include "support/Files.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

// Only what is unsafe as a file name is refused; a name is stored trimmed, so adding it again finds its own file.
TEST(FavouriteFileNameTest, RefusesOnlyUnsafeNamesAndNamesTheFileAsItIsStored) {
  for (const char* name : {"Wat? \"Q\" 'K': 1 *<>|\\ \xE2\x98\x85 ends in a dot.", "a..b", ".977 Hits", "...", ".x.tmp-"})
    EXPECT_TRUE(IsFavouriteFileName(name)) << name;
  for (const std::string& name : {std::string(), std::string("."), std::string(".."), std::string("favo/"),
                                  std::string("cut\0off", 7), std::string("two\nlines"), std::string("\x1B[31m"),
                                  std::string("del\x7F"), std::string("c1 \xC2\x9B" "31m"), std::string(".R.tmp-Ab12Cd")}) {
    EXPECT_FALSE(IsFavouriteFileName(name)) << name;
  }
  const std::pair<std::string, std::string> kept[] = {
      {"Radio 1\r\n", "Radio 1"}, {" \tRadio 1\n", "Radio 1"}, {"a  b", "a  b"}, {" \n", ""}};
  for (const auto& [raw, name] : kept) EXPECT_EQ(FavouriteName(raw), name) << raw;
}

TEST(FolderFilesTest, ListsRegularFilesButNoTemporariesWithoutRegardToCase) {
  const test::TempFolder tmp("folder");
  const fs::path& dir = tmp.path();
  for (const char* name : {"beta", "Alpha", "gamma", "Zulu", "alpha", "10 Radio", ".hidden", ".Radio.tmp-Ab12Cd"})
    tmp.write(name, "x");
  fs::create_directory(dir / "map");
  fs::create_symlink(dir / "beta", dir / "link to beta");
  fs::create_symlink(dir / "gone", dir / "dead link");
  fs::create_directory_symlink(dir / "map", dir / "link to map");
  EXPECT_EQ(ListFolderFiles(dir.string()),
            (std::vector<std::string>{".hidden", "10 Radio", "Alpha", "alpha", "beta", "gamma", "link to beta", "Zulu"}));
}

// The address around the word is DirectoryDialogsTest's, through the server.
TEST(SearchAddressTest, OnlyCharactersThatWouldChangeTheRequestAreEncoded) {
  const std::pair<std::string, std::string> cases[] = {{"Radio-1_FM.nl~", "Radio-1_FM.nl~"},
                                                       {"Q+ #1 100%", "Q%2B%20%231%20100%25"},
                                                       {"R\xC3\xA1" "dio \xE2\x98\x85", "R%C3%A1dio%20%E2%98%85"},
                                                       {std::string("a\0\n\x7f", 4), "a%00%0A%7F"}};
  for (const auto& [word, encoded] : cases) EXPECT_EQ(PercentEncoded(word), encoded) << word;
}

}  // namespace
}  // namespace vandrel
