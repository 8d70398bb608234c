// INI writers and directory imports that crash, race or are refused leave every file whole.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <set>
#include <thread>

#include "core/Ini.h"
#include "directory/DirectoryImport.h"
#include "directory/DirectoryTestKit.h"
#include "support/ChildProcess.h"

namespace vandrel::test {
namespace {

namespace fs = std::filesystem;
using directory::DirectoryImport;

TEST(IniFaultTest, TwoWritingProcessesLoseNoKey) {
  TempFolder tmp;
  const std::string path = (tmp.path() / "INST.INI").string();
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    if ((writers[w] = ::fork()) == 0) {
      for (int k = 0; k < 100; ++k) WriteIni(path, "s", "k" + std::to_string(w * 100 + k), "v");
      ::_exit(0);
    }
  }
  for (pid_t pid : writers) ::waitpid(pid, nullptr, 0);
  int lost = 0;
  for (int k = 0; k < 200; ++k) lost += ReadIni(path, "s", "k" + std::to_string(k)) != "v";
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(Names(tmp.path()), std::vector<std::string>{"INST.INI"});
}

TEST(IniFaultTest, WritesRespectReadOnlyFilesLinksAndCleanUpAfterACrash) {
  TempFolder tmp;
  const std::string path = tmp.write("INST.INI", "[a]\nk=old\n").string();
  ::chmod(path.c_str(), 0444);  // refused, also to root, and silently
  WriteIni(path, "a", "k", "new");
  EXPECT_EQ(ReadFile(path), "[a]\nk=old\n");
  ::chmod(path.c_str(), 0644);
  // A symlink stays a link; its target, in another folder, gets the value.
  const fs::path target = tmp.write("real/target.ini", "[a]\r\nk=1\r\n");
  fs::create_symlink("real/target.ini", tmp.path() / "link.ini");
  WriteIni((tmp.path() / "link.ini").string(), "a", "j", "2");
  EXPECT_TRUE(fs::is_symlink(tmp.path() / "link.ini"));
  EXPECT_EQ(ReadFile(target), "[a]\r\nk=1\r\nj=2\r\n");
  EXPECT_EQ(Names(tmp.path() / "real"), std::vector<std::string>{"target.ini"});
  // What a writer killed between its temporary and the rename leaves behind.
  tmp.write(".INST.INI.tmp-a1B2c3", "[a]\nk=half");
  tmp.write(".OTHER.INI.tmp-a1B2c3", "not ours");
  WriteIni(path, "a", "k", "new");
  EXPECT_EQ(ReadIni(path, "a", "k"), "new");
  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{".OTHER.INI.tmp-a1B2c3", "INST.INI", "link.ini", "real"}));
}

// A refused dump leaves the last import, a good one replaces it; a folder no import wrote is kept.
TEST(ImportFaultTest, RefusedImportsWriteNothing) {
  TempFolder tmp;
  const fs::path out = tmp.path() / "data";
  const auto run = [&](const std::string& dump, const fs::path& to) {
    return DirectoryImport::Run(tmp.write("dump.json", dump), to);
  };
  const auto snapshot = [&] {  // every file below out with its content
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(out)) {
      files.insert(e.path().string() + (e.is_regular_file() ? ReadFile(e.path()) : ""));
    }
    return files;
  };
  run(R"([{"name": "Old", "url": "http://old.example/", "countrycode": "NL"}])", out);
  const auto before = snapshot();
  for (const std::string& bad : std::vector<std::string>{
           R"([{"name": "Cut off", "url": "http://a/")", R"({"name": "not a list"})", R"(["just text"])", "",
           R"([{"name": "x", "url": "http://a/"}] trailing)", "[{\"name\": \"bad \xff\", \"url\": \"http://a/\"}]",
           R"([{"name": "all fail", "url": "http://a/", "lastcheckok": 0}])",
           R"([{"url": "http://a/", "deep": )" + std::string(100000, '[') + std::string(100000, ']') + "}]"}) {
    EXPECT_THROW(run(bad, out), std::runtime_error) << bad.substr(0, 60);
    EXPECT_EQ(snapshot(), before) << bad.substr(0, 60);
  }
  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{"data", "dump.json"}));
  run(R"([{"name": "New", "url": "http://new.example/", "countrycode": "BE"}])", out);
  EXPECT_EQ(Names(out / "radio/inter/zenders"), std::vector<std::string>{"belgium.txt"});

  tmp.write("mine/index.html", "mine");
  tmp.write("file", "x");
  for (const char* to : {"mine", "file"}) EXPECT_THROW(run(R"([{"url": "http://a/"}])", tmp / to), std::runtime_error);
  EXPECT_THROW(DirectoryImport::Run(tmp / "missing.json", tmp / "new"), std::runtime_error);
  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{"data", "dump.json", "file", "mine"}));
  EXPECT_EQ(ReadFile(tmp / "mine/index.html"), "mine");
}

// Temporaries of killed imports go with the next one; a running one keeps its own.
TEST(ImportFaultTest, KilledImportsLeaveNothingPastTheNextImport) {
  TempFolder tmp;
  std::string stations = "[";
  for (int i = 0; i < 20000; ++i) {
    const std::string n = std::to_string(i);
    stations += (i ? R"(,{"name": "S)" : R"({"name": "S)") + n + R"(", "url": "http://s/)" + n +
                R"(", "countrycode": "C)" + std::to_string(i % 97) + R"(", "tags": "a,b"})";
  }
  const std::string dump = tmp.write("dump.json", stations + "]").string();
  const std::vector<std::string> import = {VANDREL_DIRECTORY_EXE, "import", dump, "--out", (tmp / "data").string()};
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ChildProcess(import).Wait(std::chrono::seconds(30)), 0);
  const auto whole = std::chrono::steady_clock::now() - started;
  for (int k = 1; k <= 8; ++k) {
    ChildProcess killed(import);
    std::this_thread::sleep_for(whole * k / 8);
    killed.Signal(SIGKILL);
  }
  // An import still at work, as far as its lock tells.
  const fs::path running = tmp / ".data.import-Live01";
  fs::create_directory(running);
  const int lock = ::open(running.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  EXPECT_EQ(ChildProcess(import).Wait(std::chrono::seconds(30)), 0);
  ::close(lock);
  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{".data.import-Live01", "data", "dump.json"}));
  EXPECT_TRUE(fs::exists(tmp / "data" / DirectoryImport::kIndexFile));
}

}  // namespace
}  // namespace vandrel::test
