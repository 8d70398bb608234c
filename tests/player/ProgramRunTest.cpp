#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/DirectoryServerProcess.h"

extern char** environ;

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The real executable, copied into a program folder of its own, finds its
// files beside itself and asks the directory named there for its stations.
TEST(ProgramRun, TheInstalledProgramAsksItsDirectoryForTheRememberedCountry) {
  test::DirectoryServerProcess server;
  const fs::path folder = fs::temp_directory_path() / ("vandrel-run-" + std::to_string(::getpid()));
  fs::create_directories(folder / "favo");
  fs::copy_file(VANDREL_RADIO_EXE, folder / "vandrel-radio", fs::copy_options::overwrite_existing);
  fs::copy_file(fs::path(VANDREL_SHIPPED_DATA) / "lang.ini", folder / "lang.ini", fs::copy_options::overwrite_existing);
  std::ofstream(folder / "directory.ini") << "[Directory]\nbase=" << server.baseAddress() << "\n";

  const std::string exe = (folder / "vandrel-radio").string();
  char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ), 0);

  bool asked = false;
  for (auto waited = 0ms; waited < 15s && !asked; waited += 100ms) {
    std::this_thread::sleep_for(100ms);
    asked = server.log().find("GET /radio/inter/zenders/holland.txt 200") != std::string::npos;
  }
  int status = 0;
  const bool stillRunning = ::waitpid(pid, &status, WNOHANG) == 0;
  ::kill(pid, SIGTERM);
  ::waitpid(pid, &status, 0);
  fs::remove_all(folder);

  EXPECT_TRUE(asked) << server.log();
  EXPECT_TRUE(stillRunning);
}

}  // namespace
}  // namespace vandrel
