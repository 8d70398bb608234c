#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "support/CannedServer.h"
#include "support/ChildProcess.h"
#include "support/Files.h"
#include "support/QtWait.h"
#include "support/ShippedFiles.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Output(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  for (char buffer[256]; pipe && std::fgets(buffer, sizeof buffer, pipe.get());) out += buffer;
  return out;
}

// Two installations at once, both on the media controls; one killed outright takes its bundled directory along, one
// whose terminal closes (SIGHUP; SIGTERM is InstallTest's) saves as "Close" does: the name cut, no address played.
TEST(ProgramRun, TwoCopiesRunSideBySideAKilledOneTakesItsDirectoryAndAHungUpOneSaves) {
  const test::TempFolder bus("bus");
  std::string address = "unix:path=";
  for (const char c : (bus.path() / "socket").string()) address += c == ' ' ? std::string("%20") : std::string(1, c);
  test::ChildProcess daemon({"dbus-daemon", "--session", "--nofork", "--address=" + address});
  ASSERT_TRUE(test::WaitUntil([&] { return fs::exists(bus.path() / "socket"); }, 5s));
  ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  struct Copy {
    test::TempFolder folder{"copy"};
    int port = test::ClosedPort();
    std::unique_ptr<test::ChildProcess> process;
  } copies[2];
  for (Copy& copy : copies) {
    test::CopyShippedProgramFiles(copy.folder.path());
    fs::copy_file(VANDREL_RADIO_EXE, copy.folder / "vandrel-radio");
    fs::copy_file(VANDREL_DIRECTORY_EXE, copy.folder / "vandrel-directory");
    fs::copy(VANDREL_SHIPPED_DIRECTORY_DATA, copy.folder / "directory", fs::copy_options::recursive);
    copy.folder.write("directory.ini", "[Directory]\nbase=http://127.0.0.1:" + std::to_string(copy.port) + "/\n");
    copy.folder.write("INST.INI", "[Online Radio]\ngrootscherm=1\n[Onthouden]\nLaatsteNAAM=" + std::string(250, 'n') +
                                      "\nLaatsteURL=http://old.example/\nLaatsteLandbestand=holland.txt\n");
    copy.process = std::make_unique<test::ChildProcess>(std::vector<std::string>{(copy.folder / "vandrel-radio").string()});
    EXPECT_TRUE(test::WaitForListener(copy.port, 10000));
  }
  const auto players = [] { return Output("playerctl -l 2>/dev/null"); };
  const std::string second = "vandrelradio.instance" + std::to_string(copies[1].process->pid());
  EXPECT_TRUE(test::WaitUntil([&] { return players() == "vandrelradio\n" + second + "\n"; }, 10s)) << players();
  std::this_thread::sleep_for(1s);
  for (Copy& copy : copies) EXPECT_TRUE(copy.process->Running());

  const std::string directory = Output("pgrep -P " + std::to_string(copies[0].process->pid()));
  ASSERT_EQ(std::count(directory.begin(), directory.end(), '\n'), 1) << directory;
  copies[0].process->Signal(SIGKILL);
  EXPECT_TRUE(test::WaitUntil([&] {  // or a zombie nobody has reaped yet
    const std::string state = Output("ps -o stat= -p " + directory);
    return state.empty() || state[0] == 'Z';
  }, 1s));
  EXPECT_TRUE(copies[1].process->Running());
  copies[1].process->Signal(SIGHUP);
  EXPECT_EQ(copies[1].process->Wait(5s), 0);
  const std::string saved = test::ReadFile(copies[1].folder / "INST.INI");
  EXPECT_NE(saved.find("LaatsteNAAM=" + std::string(199, 'n') + "\nLaatsteURL=\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\nGeometry="), std::string::npos);  // a key it did not have
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace
}  // namespace vandrel
