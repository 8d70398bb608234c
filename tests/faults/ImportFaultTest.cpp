#include <gtest/gtest.h>
#include <sys/file.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "directory/DirectoryTestKit.h"
#include "support/ChildProcess.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Imports killed at points spread over a whole run leave temporaries that
// the next import removes, while one that is still running keeps its own.
TEST(ImportFaultTest, KilledImportsLeaveNothingPastTheNextImport) {
  test::TempFolder tmp;
  const fs::path dump = tmp.path() / "dump.json";
  {
    std::ofstream out(dump);
    out << "[";
    for (int i = 0; i < 20000; ++i) {
      out << (i ? "," : "") << R"({"name": "Station )" << i << R"(", "url": "http://s.example/)" << i
          << R"(", "countrycode": "C)" << i % 97 << R"(", "tags": "a,b"})";
    }
    out << "]";
  }
  const std::vector<std::string> import = {VANDREL_DIRECTORY_EXE, "import", dump.string(), "--out",
                                           (tmp.path() / "data").string()};
  const auto started = Clock::now();
  test::ChildProcess first(import);
  EXPECT_EQ(first.Wait(std::chrono::seconds(30)), 0);
  const auto whole = Clock::now() - started;

  for (int k = 1; k <= 8; ++k) {
    test::ChildProcess killed(import);
    std::this_thread::sleep_for(whole * k / 8);
    killed.Signal(SIGKILL);
  }
  // An import still at work, as far as its lock tells.
  const fs::path running = tmp.path() / ".data.import-Live01";
  fs::create_directory(running);
  const int lock = ::open(running.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  test::ChildProcess last(import);
  EXPECT_EQ(last.Wait(std::chrono::seconds(30)), 0);
  ::close(lock);

  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(tmp.path())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".data.import-Live01", "data", "dump.json"}));
  EXPECT_TRUE(fs::exists(tmp.path() / "data" / ".search-index"));
}

}  // namespace
}  // namespace vandrel
