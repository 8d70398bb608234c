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
#include "support/ReadFile.h"

extern char** environ;

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The real executable, copied into a program folder of its own, finds its
// files beside itself and asks the directory named there for its stations
// and its start page; it is started as a user starts it. Asked to end
// (logout, kill), it saves its state as "Close" does; killed outright at any
// moment of that, it leaves the old or the new settings file, never a part.
TEST(ProgramRun, RunsFromItsFolderEndsOnRequestAndAKillNeverTearsItsSettings) {
  test::DirectoryServerProcess server;
  const fs::path folder = fs::temp_directory_path() / ("vandrel-run-" + std::to_string(::getpid()));
  test::CopyShippedProgramFiles(folder);
  fs::copy_file(VANDREL_RADIO_EXE, folder / "vandrel-radio", fs::copy_options::overwrite_existing);
  std::ofstream(folder / "directory.ini") << "[Directory]\nbase=" << server.baseAddress() << "\n";
  const std::string exe = (folder / "vandrel-radio").string();
  char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};

  // Started once the remembered country's list and the start page were asked for.
  auto start = [&](const std::string& settings) {
    std::ofstream(folder / "INST.INI", std::ios::trunc) << settings;
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ), 0);
    const auto from = server.log().size();
    bool asked = false;
    for (auto waited = 0ms; waited < 15s && !asked; waited += 50ms) {
      std::this_thread::sleep_for(50ms);
      const std::string log = server.log();
      // A start after the first revalidates the list it fetched before.
      asked = (log.find("zenders/holland.txt 200", from) != std::string::npos ||
               log.find("zenders/holland.txt 304", from) != std::string::npos) &&
              log.find("index.php?wat=home&lang=english 200", from) != std::string::npos;
    }
    EXPECT_TRUE(asked) << server.log();
    return pid;
  };
  const std::string settings =
      "[Online Radio]\ngrootscherm=1\nxsluiten=0\n[Onthouden]\nVolume=30\nLaatsteNAAM=Eerst\n"
      "LaatsteLandNaam=Holland\nLaatsteLandbestand=holland.txt\n" + std::string(20000, ';') + "\n";

  pid_t pid = start(settings);
  int status = 0;
  EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "still running";
  ::kill(pid, SIGTERM);
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
  const std::string saved = test::ReadFile(folder / "INST.INI");
  EXPECT_NE(saved.find("LaatsteURL=\n"), std::string::npos) << saved.substr(0, 300);  // a key it did not have
  EXPECT_NE(saved.find("LaatsteNAAM=Eerst\n"), std::string::npos);

  for (const auto delay : {0ms, 2ms, 5ms, 10ms}) {
    pid = start(settings);
    ::kill(pid, SIGTERM);
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    const std::string after = test::ReadFile(folder / "INST.INI");
    EXPECT_EQ(after.substr(0, 52), settings.substr(0, 52)) << "killed after " << delay.count() << " ms";
    EXPECT_NE(after.find(std::string(20000, ';') + "\n"), std::string::npos);
    EXPECT_NE(after.find("Volume=30\n"), std::string::npos);
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace vandrel
