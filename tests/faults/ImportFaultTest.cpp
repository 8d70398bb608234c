#include <gtest/gtest.h>
#include <sys/file.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "directory/DirectoryImport.h"
#include "directory/DirectoryTestKit.h"
#include "support/ChildProcess.h"

namespace vandrel::test {
namespace {

namespace fs = std::filesystem;
using directory::DirectoryImport;

// Every file below folder with its content, to see that nothing changed.
std::vector<std::pair<std::string, std::string>> Snapshot(const fs::path& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (e.is_regular_file()) files.emplace_back(fs::relative(e.path(), folder).string(), ReadFile(e.path()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

// A refused dump leaves the last import as it was and no temporary beside
// it, a good one replaces it whole; a folder no import wrote is never replaced.
TEST(ImportFaultTest, RefusedImportsWriteNothing) {
  TempFolder tmp;
  const fs::path out = tmp.path() / "data";
  const auto run = [&](const std::string& dump, const fs::path& to) {
    return DirectoryImport::Run(tmp.write("dump.json", dump), to);
  };
  run(R"([{"name": "Old", "url": "http://old.example/", "countrycode": "NL"}])", out);
  const auto before = Snapshot(out);
  for (const std::string& bad :
       std::vector<std::string>{R"([{"name": "Cut off", "url": "http://a/")", R"({"name": "not a list"})",
                                R"(["just text"])", R"([{"name": "x", "url": "http://a/"}] trailing)", "",
                                "[{\"name\": \"bad \xff byte\", \"url\": \"http://a/\"}]",
                                R"([{"name": "all fail", "url": "http://a/", "lastcheckok": 0}])",
                                R"([{"name": "x", "url": "http://a/", "deep": )" + std::string(100000, '[') +
                                    std::string(100000, ']') + "}]"}) {
    EXPECT_THROW(run(bad, out), std::runtime_error) << bad.substr(0, 60);
    EXPECT_EQ(Snapshot(out), before) << bad;
  }
  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{"data", "dump.json"}));
  run(R"([{"name": "New", "url": "http://new.example/", "countrycode": "BE"}])", out);
  EXPECT_EQ(Names(out / "radio/inter/zenders"), std::vector<std::string>{"belgium.txt"});

  const std::string good = R"([{"name": "A", "url": "http://a/"}])";
  tmp.write("mine/index.html", "mine");
  tmp.write("file", "x");
  EXPECT_THROW(run(good, tmp.path() / "mine"), std::runtime_error);
  EXPECT_THROW(run(good, tmp.path() / "file"), std::runtime_error);
  EXPECT_THROW(DirectoryImport::Run(tmp.path() / "missing.json", tmp.path() / "new"), std::runtime_error);
  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{"data", "dump.json", "file", "mine"}));
  EXPECT_EQ(ReadFile(tmp.path() / "mine/index.html"), "mine");
}

// Imports killed at points spread over a whole run leave temporaries that
// the next import removes, while one that is still running keeps its own.
TEST(ImportFaultTest, KilledImportsLeaveNothingPastTheNextImport) {
  TempFolder tmp;
  std::string stations;
  for (int i = 0; i < 20000; ++i) {
    stations += std::string(i ? "," : "") + R"({"name": "Station )" + std::to_string(i) + R"(", "url": "http://s/)" +
                std::to_string(i) + R"(", "countrycode": "C)" + std::to_string(i % 97) + R"(", "tags": "a,b"})";
  }
  const fs::path dump = tmp.write("dump.json", "[" + stations + "]");
  const std::vector<std::string> import = {VANDREL_DIRECTORY_EXE, "import", dump.string(), "--out",
                                           (tmp.path() / "data").string()};
  const auto started = std::chrono::steady_clock::now();
  ChildProcess first(import);
  EXPECT_EQ(first.Wait(std::chrono::seconds(30)), 0);
  const auto whole = std::chrono::steady_clock::now() - started;

  for (int k = 1; k <= 8; ++k) {
    ChildProcess killed(import);
    std::this_thread::sleep_for(whole * k / 8);
    killed.Signal(SIGKILL);
  }
  // An import still at work, as far as its lock tells.
  const fs::path running = tmp.path() / ".data.import-Live01";
  fs::create_directory(running);
  const int lock = ::open(running.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  ChildProcess last(import);
  EXPECT_EQ(last.Wait(std::chrono::seconds(30)), 0);
  ::close(lock);

  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{".data.import-Live01", "data", "dump.json"}));
  EXPECT_TRUE(fs::exists(tmp.path() / "data" / DirectoryImport::kIndexFile));
}

}  // namespace
}  // namespace vandrel::test
