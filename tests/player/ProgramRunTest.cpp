#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/DirectoryServerProcess.h"
#include "support/Files.h"
#include "support/QtWait.h"
#include "support/ShippedFiles.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The real executable, copied into a program folder of its own, finds its
// files beside itself and asks the directory named there for its stations
// and its start page; it is started as a user starts it. Asked to end
// (logout, kill), it saves its state as "Close" does; killed outright at any
// moment of that, it leaves the old or the new settings, never a part of
// the file or of the keys of one close.
TEST(ProgramRun, RunsFromItsFolderEndsOnRequestAndAKillNeverTearsItsSettings) {
  test::DirectoryServerProcess server;
  const test::TempFolder program("run");
  const fs::path& folder = program.path();
  test::CopyShippedProgramFiles(folder);
  fs::copy_file(VANDREL_RADIO_EXE, folder / "vandrel-radio");
  program.write("directory.ini", "[Directory]\nbase=" + server.baseAddress() + "\n");

  // Started once the remembered country's list and the start page were asked for.
  auto start = [&](const std::string& settings) {
    program.write("INST.INI", settings);
    const auto from = server.log().size();
    auto child = std::make_unique<test::ChildProcess>(std::vector<std::string>{(folder / "vandrel-radio").string()});
    const auto asked = [&] {
      const std::string log = server.log();
      // Any status: a start after the first revalidates the list (304).
      return log.find("zenders/holland.txt ", from) != std::string::npos &&
             log.find("index.php?wat=home&lang=english 200", from) != std::string::npos;
    };
    EXPECT_TRUE(test::WaitUntil(asked, 15s)) << server.log();
    return child;
  };
  // Closing saves the name cut to 199 characters and the empty address (nothing played).
  const std::string oldPair = "LaatsteNAAM=" + std::string(250, 'n') + "\nLaatsteURL=http://old.example/\n";
  const std::string newPair = "LaatsteNAAM=" + std::string(199, 'n') + "\nLaatsteURL=\n";
  const std::string settings = "[Online Radio]\ngrootscherm=1\nxsluiten=0\n[Onthouden]\nVolume=30\n" + oldPair +
                               "LaatsteLandNaam=Holland\nLaatsteLandbestand=holland.txt\n" + std::string(20000, ';') +
                               "\n";

  auto running = start(settings);
  running->Signal(SIGTERM);
  EXPECT_EQ(running->Wait(5s), 0);
  const std::string saved = test::ReadFile(folder / "INST.INI");
  EXPECT_NE(saved.find(newPair), std::string::npos) << saved.substr(0, 600);
  EXPECT_NE(saved.find("\nGeometry="), std::string::npos);  // a key it did not have

  for (const auto delay : {0ms, 2ms, 5ms, 10ms}) {
    auto killed = start(settings);
    killed->Signal(SIGTERM);
    std::this_thread::sleep_for(delay);
    killed->Signal(SIGKILL);
    killed->Wait(5s);
    const std::string after = test::ReadFile(folder / "INST.INI");
    EXPECT_EQ(after.substr(0, 52), settings.substr(0, 52)) << "killed after " << delay.count() << " ms";
    EXPECT_NE(after.find(std::string(20000, ';') + "\n"), std::string::npos);
    EXPECT_NE(after.find("Volume=30\n"), std::string::npos);
    // The keys of one close arrive together: never one station's name with another's address.
    EXPECT_TRUE(after.find(oldPair) != std::string::npos || after.find(newPair) != std::string::npos)
        << "killed after " << delay.count() << " ms";
  }
}

}  // namespace
}  // namespace vandrel
