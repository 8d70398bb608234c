#include "player/FavouriteFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FolderFiles.h"
#include "support/Files.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

TEST(FavouriteFileNameTest, RefusesOnlyNamesThatLeaveTheFolderOrWouldBeHidden) {
  for (const char* name : {"Radio 538", "Radio \"Q\" 'K'", "Wat? Radio: 1 *<>|\\", "R\xC3\xA1" "dio \xE2\x98\x85",
                                 "a..b", "ends in a dot.", " leading blank", "trailing blank "}) {
    EXPECT_TRUE(IsFavouriteFileName(name)) << name;
  }
  for (const std::string& name : {std::string(), std::string("."), std::string(".."), std::string(".hidden"),
                                 std::string("a/b"), std::string("/"), std::string("../INST.INI"),
                                 std::string("favo/"), std::string("cut\0off", 7)}) {
    EXPECT_FALSE(IsFavouriteFileName(name)) << name;
  }
}

class FolderFilesTest : public ::testing::Test {
 protected:
  void Put(const std::string& name) { tmp_.write(name, "x"); }

  test::TempFolder tmp_{"folder"};
  const fs::path& dir_ = tmp_.path();
};

TEST_F(FolderFilesTest, ListsVisibleRegularFilesWithoutRegardToCase) {
  for (const char* name : {"beta", "Alpha", "gamma", "Zulu", "alpha", "10 Radio", ".hidden", ".Radio.tmp-Ab12Cd"}) {
    Put(name);
  }
  fs::create_directory(dir_ / "map");
  fs::create_symlink(dir_ / "beta", dir_ / "link to beta");
  fs::create_symlink(dir_ / "gone", dir_ / "dead link");
  fs::create_directory_symlink(dir_ / "map", dir_ / "link to map");

  EXPECT_EQ(ListFolderFiles(dir_.string()),
            (std::vector<std::string>{"10 Radio", "Alpha", "alpha", "beta", "gamma", "link to beta", "Zulu"}));
  EXPECT_EQ(ListFolderFiles((dir_ / "map").string() + "/"), std::vector<std::string>{});
}

TEST_F(FolderFilesTest, AMissingFolderCannotBeListed) {
  EXPECT_THROW(ListFolderFiles((dir_ / "favo").string()), fs::filesystem_error);
  Put("favo");
  EXPECT_THROW(ListFolderFiles((dir_ / "favo").string()), fs::filesystem_error);
}

}  // namespace
}  // namespace vandrel
