#include "settings/Ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "directory/DirectoryTestKit.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using test::Names;

// Two processes that each add their own keys lose none of them.
TEST(IniFaultTest, TwoWritingProcessesLoseNoKey) {
  test::TempFolder tmp;
  const std::string path = (tmp.path() / "INST.INI").string();
  const auto key = [](int w, int k) { return "w" + std::to_string(w) + "k" + std::to_string(k); };
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    if ((writers[w] = ::fork()) == 0) {
      for (int k = 0; k < 100; ++k) WriteIni(path, "s", key(w, k), "v");
      ::_exit(0);
    }
  }
  for (pid_t pid : writers) ::waitpid(pid, nullptr, 0);
  int lost = 0;
  for (int w = 0; w < 2; ++w) {
    for (int k = 0; k < 100; ++k) lost += ReadIni(path, "s", key(w, k)) != "v";
  }
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(Names(tmp.path()), std::vector<std::string>{"INST.INI"});
}

TEST(IniFaultTest, WritesRespectReadOnlyFilesLinksAndCleanUpAfterACrash) {
  test::TempFolder tmp;
  const std::string path = tmp.write("INST.INI", "[a]\nk=old\n").string();
  // Read-only: refused, also to root, and silently.
  ::chmod(path.c_str(), 0444);
  WriteIni(path, "a", "k", "new");
  EXPECT_EQ(test::ReadFile(path), "[a]\nk=old\n");
  ::chmod(path.c_str(), 0644);

  // A symlink stays a link; its target, in another folder, gets the value.
  const fs::path target = tmp.write("real/target.ini", "[a]\r\nk=1\r\n");
  fs::create_symlink("real/target.ini", tmp.path() / "link.ini");
  WriteIni((tmp.path() / "link.ini").string(), "a", "j", "2");
  EXPECT_TRUE(fs::is_symlink(tmp.path() / "link.ini"));
  EXPECT_EQ(test::ReadFile(target), "[a]\r\nk=1\r\nj=2\r\n");
  EXPECT_EQ(Names(tmp.path() / "real"), std::vector<std::string>{"target.ini"});

  // What a writer killed between its temporary and the rename leaves behind.
  tmp.write(".INST.INI.tmp-a1B2c3", "[a]\nk=half");
  tmp.write(".OTHER.INI.tmp-a1B2c3", "not ours");
  WriteIni(path, "a", "k", "new");
  EXPECT_EQ(ReadIni(path, "a", "k"), "new");
  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{".OTHER.INI.tmp-a1B2c3", "INST.INI", "link.ini", "real"}));
}

}  // namespace
}  // namespace vandrel
