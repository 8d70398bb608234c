#include "player/FavouriteFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FolderFiles.h"
#include "support/Files.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

TEST(FavouriteFileNameTest, RefusesOnlyNamesThatLeaveTheFolderOrWouldBeHidden) {
  for (const char* name : {"Wat? \"Q\" 'K': 1 *<>|\\ \xE2\x98\x85 ends in a dot.", "a..b", " leading blank"}) {
    EXPECT_TRUE(IsFavouriteFileName(name)) << name;
  }
  for (const std::string& name :
       {std::string(), std::string(".."), std::string(".hidden"), std::string("favo/"), std::string("cut\0off", 7)}) {
    EXPECT_FALSE(IsFavouriteFileName(name)) << name;
  }
}

TEST(FolderFilesTest, ListsVisibleRegularFilesWithoutRegardToCase) {
  const test::TempFolder tmp("folder");
  const fs::path& dir = tmp.path();
  for (const char* name : {"beta", "Alpha", "gamma", "Zulu", "alpha", "10 Radio", ".hidden", ".Radio.tmp-Ab12Cd"}) {
    tmp.write(name, "x");
  }
  fs::create_directory(dir / "map");
  fs::create_symlink(dir / "beta", dir / "link to beta");
  fs::create_symlink(dir / "gone", dir / "dead link");
  fs::create_directory_symlink(dir / "map", dir / "link to map");

  EXPECT_EQ(ListFolderFiles(dir.string()),
            (std::vector<std::string>{"10 Radio", "Alpha", "alpha", "beta", "gamma", "link to beta", "Zulu"}));
}

}  // namespace
}  // namespace vandrel
