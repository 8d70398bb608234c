#include "settings/Ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/ReadFile.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

class IniFaultTest : public ::testing::Test {
 protected:
  static fs::path MakeFolder() {
    std::string pattern = (fs::temp_directory_path() / "vandrel-ini-fault-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    return pattern;
  }
  ~IniFaultTest() override { fs::remove_all(dir_); }
  void Put(const fs::path& p, const std::string& content) { std::ofstream(p, std::ios::binary) << content; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_ = MakeFolder();
  std::string path_ = (dir_ / "INST.INI").string();
};

// Two processes that each add their own keys lose none of them.
TEST_F(IniFaultTest, TwoWritingProcessesLoseNoKey) {
  constexpr int kKeys = 100;
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    writers[w] = ::fork();
    ASSERT_GE(writers[w], 0);
    if (writers[w] == 0) {
      for (int k = 0; k < kKeys; ++k) WriteIni(path_, "s", "w" + std::to_string(w) + "k" + std::to_string(k), "v");
      ::_exit(0);
    }
  }
  for (pid_t pid : writers) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  int lost = 0;
  for (int w = 0; w < 2; ++w) {
    for (int k = 0; k < kKeys; ++k) lost += ReadIni(path_, "s", "w" + std::to_string(w) + "k" + std::to_string(k)) != "v";
  }
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"INST.INI"});
}

TEST_F(IniFaultTest, WritesRespectReadOnlyFilesLinksAndCleanUpAfterACrash) {
  // Read-only: refused, also to root, and silently.
  Put(path_, "[a]\nk=old\n");
  ::chmod(path_.c_str(), 0444);
  WriteIni(path_, "a", "k", "new");
  EXPECT_EQ(test::ReadFile(path_), "[a]\nk=old\n");
  ::chmod(path_.c_str(), 0644);

  // A symlink stays a link; its target, in another folder, gets the value.
  fs::create_directory(dir_ / "real");
  const fs::path target = dir_ / "real" / "target.ini";
  Put(target, "[a]\r\nk=1\r\n");
  const fs::path link = dir_ / "link.ini";
  fs::create_symlink("real/target.ini", link);
  WriteIni(link.string(), "a", "j", "2");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(test::ReadFile(target), "[a]\r\nk=1\r\nj=2\r\n");
  EXPECT_EQ(fs::directory_iterator(dir_ / "real")->path(), target);  // no temporary left there

  // What a writer killed between its temporary and the rename leaves behind.
  Put(dir_ / ".INST.INI.tmp-a1B2c3", "[a]\nk=half");
  Put(dir_ / ".OTHER.INI.tmp-a1B2c3", "not ours");
  WriteIni(path_, "a", "k", "new");
  EXPECT_EQ(ReadIni(path_, "a", "k"), "new");
  EXPECT_EQ(Names(), (std::vector<std::string>{".OTHER.INI.tmp-a1B2c3", "INST.INI", "link.ini", "real"}));
}

}  // namespace
}  // namespace vandrel
