#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <thread>
#include <vector>

#include "support/ShippedFiles.h"
#include "support/DirectoryServerProcess.h"

extern char** environ;

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The real executable, copied into a program folder of its own, finds its
// files beside itself and asks the directory named there for its stations
// and its start page (the web engine starts also as root).
TEST(ProgramRun, TheInstalledProgramAsksItsDirectoryForTheRememberedCountry) {
  test::DirectoryServerProcess server;
  const fs::path folder = fs::temp_directory_path() / ("vandrel-run-" + std::to_string(::getpid()));
  test::CopyShippedProgramFiles(folder);
  fs::copy_file(VANDREL_RADIO_EXE, folder / "vandrel-radio", fs::copy_options::overwrite_existing);
  std::ofstream(folder / "directory.ini") << "[Directory]\nbase=" << server.baseAddress() << "\n";

  const std::string exe = (folder / "vandrel-radio").string();
  char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
  // Started as a user would start it: without the test run's web engine flags.
  std::vector<char*> environment;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    if (std::string_view(*variable).rfind("QTWEBENGINE_CHROMIUM_FLAGS=", 0) != 0) environment.push_back(*variable);
  }
  environment.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environment.data()), 0);

  bool asked = false;
  for (auto waited = 0ms; waited < 15s && !asked; waited += 100ms) {
    std::this_thread::sleep_for(100ms);
    asked = server.log().find("GET /radio/inter/zenders/holland.txt 200") != std::string::npos &&
            server.log().find("GET /radio/inter/website/index.php?wat=home&lang=english 200") != std::string::npos;
  }
  int status = 0;
  const bool stillRunning = ::waitpid(pid, &status, WNOHANG) == 0;
  ::kill(pid, SIGTERM);
  ::waitpid(pid, &status, 0);
  fs::remove_all(folder);

  EXPECT_TRUE(asked) << server.log();
  EXPECT_TRUE(stillRunning);
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A running program asked to end (logout, kill) saves its state as "Close"
// does; killed outright at any moment of that, it leaves the old or the new
// settings file, never a part of one.
TEST(ProgramRun, EndsOnRequestWithItsSettingsSavedAndAKillNeverTearsThem) {
  test::DirectoryServerProcess server;
  const fs::path folder = fs::temp_directory_path() / ("vandrel-end-" + std::to_string(::getpid()));
  test::CopyShippedProgramFiles(folder);
  fs::copy_file(VANDREL_RADIO_EXE, folder / "vandrel-radio", fs::copy_options::overwrite_existing);
  std::ofstream(folder / "directory.ini") << "[Directory]\nbase=" << server.baseAddress() << "\n";
  const std::string exe = (folder / "vandrel-radio").string();
  char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};

  auto start = [&](const std::string& settings) {
    std::ofstream(folder / "INST.INI", std::ios::trunc) << settings;
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ), 0);
    // Started once the remembered country's list was asked for.
    const auto asked = server.log().size();
    for (auto waited = 0ms; waited < 15s; waited += 50ms) {
      std::this_thread::sleep_for(50ms);
      if (server.log().find("zenders/holland.txt 200", asked) != std::string::npos) break;
    }
    return pid;
  };
  const std::string settings =
      "[Online Radio]\ngrootscherm=1\nxsluiten=0\n[Onthouden]\nVolume=30\nLaatsteNAAM=Eerst\n"
      "LaatsteLandNaam=Holland\nLaatsteLandbestand=holland.txt\n" + std::string(20000, ';') + "\n";

  pid_t pid = start(settings);
  ::kill(pid, SIGTERM);
  int status = 0;
  bool ended = false;
  for (auto waited = 0ms; waited < 5s && !ended; waited += 20ms) {
    std::this_thread::sleep_for(20ms);
    ended = ::waitpid(pid, &status, WNOHANG) == pid;
  }
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  EXPECT_TRUE(ended);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string saved = ReadAll(folder / "INST.INI");
  EXPECT_NE(saved.find("LaatsteURL=\n"), std::string::npos) << saved.substr(0, 300);  // a key it did not have
  EXPECT_NE(saved.find("LaatsteNAAM=Eerst\n"), std::string::npos);

  for (const auto delay : {0ms, 2ms, 5ms, 10ms}) {
    pid = start(settings);
    ::kill(pid, SIGTERM);
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    const std::string after = ReadAll(folder / "INST.INI");
    EXPECT_EQ(after.substr(0, 52), settings.substr(0, 52)) << "killed after " << delay.count() << " ms";
    EXPECT_NE(after.find(std::string(20000, ';') + "\n"), std::string::npos);
    EXPECT_NE(after.find("Volume=30\n"), std::string::npos);
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace vandrel
