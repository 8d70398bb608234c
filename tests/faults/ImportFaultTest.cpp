#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "directory/DirectoryTestKit.h"

extern char** environ;

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

pid_t StartImport(const fs::path& dump, const fs::path& out) {
  std::vector<std::string> args = {VANDREL_DIRECTORY_EXE, "import", dump.string(), "--out", out.string()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int failed = ::posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&quiet);
  if (failed != 0) throw std::runtime_error("cannot start the importer");
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Imports killed at points spread over a whole run leave temporaries that
// the next import removes, while one that is still running keeps its own.
TEST(ImportFaultTest, KilledImportsLeaveNothingPastTheNextImport) {
  test::TempDataFolder tmp;
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
  const fs::path data = tmp.path() / "data";
  const auto started = Clock::now();
  ASSERT_EQ(Wait(StartImport(dump, data)), 0);
  const auto whole = Clock::now() - started;

  constexpr int kKills = 8;
  for (int k = 0; k < kKills; ++k) {
    const pid_t pid = StartImport(dump, data);
    std::this_thread::sleep_for(whole * (k + 1) / kKills);
    ::kill(pid, SIGKILL);
    Wait(pid);
  }
  // An import still at work, as far as its lock tells.
  const fs::path running = tmp.path() / ".data.import-Live01";
  fs::create_directory(running);
  const int lock = ::open(running.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);

  ASSERT_EQ(Wait(StartImport(dump, data)), 0);
  ::close(lock);
  EXPECT_EQ(Names(tmp.path()), (std::vector<std::string>{".data.import-Live01", "data", "dump.json"}));
  EXPECT_TRUE(fs::exists(data / ".search-index"));
}

}  // namespace
}  // namespace vandrel
