#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "support/CannedServer.h"
#include "support/ChildProcess.h"
#include "support/DirectoryServerProcess.h"
#include "support/Files.h"
#include "support/QtWait.h"
#include "support/ShippedFiles.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The real executable in a folder of its own: asked to end (logout, kill) it
// saves as "Close" does, which Form1Test and IniTest make whole.
TEST(ProgramRun, RunsFromItsFolderAndSavesWhenAskedToEnd) {
  test::DirectoryServerProcess server;
  const test::TempFolder program("run");
  const fs::path& folder = program.path();
  test::CopyShippedProgramFiles(folder);
  fs::copy_file(VANDREL_RADIO_EXE, folder / "vandrel-radio");
  program.write("directory.ini", "[Directory]\nbase=" + server.baseAddress() + "\n");

  // The name is saved cut to 199 characters, with the empty address (nothing played).
  const std::string newPair = "LaatsteNAAM=" + std::string(199, 'n') + "\nLaatsteURL=\n";
  for (const int ask : {SIGTERM, SIGHUP}) {  // SIGHUP: its terminal was closed
    program.write("INST.INI", "[Online Radio]\ngrootscherm=1\nxsluiten=0\n[Onthouden]\nVolume=30\nLaatsteNAAM=" +
                                  std::string(250, 'n') + "\nLaatsteURL=http://old.example/\n"
                                  "LaatsteLandNaam=Holland\nLaatsteLandbestand=holland.txt\n");
    const auto from = server.log().size();
    test::ChildProcess running({(folder / "vandrel-radio").string()});
    const auto asked = [&](const char* line) { return server.log().find(line, from) != std::string::npos; };
    // Any status for the list: the second start revalidates it (304).
    EXPECT_TRUE(test::WaitUntil([&] { return asked("zenders/holland.txt ") && asked("wat=home&lang=english 200"); }, 15s))
        << server.log();
    running.Signal(ask);
    EXPECT_EQ(running.Wait(5s), 0) << ask;
    const std::string saved = test::ReadFile(folder / "INST.INI");
    EXPECT_NE(saved.find(newPair), std::string::npos) << ask << saved.substr(0, 600);
    EXPECT_NE(saved.find("\nGeometry="), std::string::npos) << ask;  // a key it did not have
  }
}

// A process that is gone: not there, or a zombie nobody has reaped yet.
bool Gone(pid_t pid) {
  const std::string stat = test::ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const auto state = stat.rfind(") ");
  return state == std::string::npos || stat[state + 2] == 'Z';
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> children;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(parent) + "/task")) {
    std::istringstream in(test::ReadFile(task.path() / "children"));
    for (pid_t pid; in >> pid;) children.push_back(pid);
  }
  return children;
}

std::string Players() {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> list(::popen("playerctl -l 2>/dev/null", "r"), ::pclose);
  for (char buffer[256]; list && std::fgets(buffer, sizeof buffer, list.get());) out += buffer;
  return out;
}

// Two installations run at once, both on the media controls; a player killed
// outright takes its bundled directory with it.
TEST(ProgramRun, TwoCopiesRunSideBySideAndABundledDirectoryEndsWithItsPlayer) {
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
    copy.process = std::make_unique<test::ChildProcess>(std::vector<std::string>{(copy.folder / "vandrel-radio").string()});
    EXPECT_TRUE(test::WaitForListener(copy.port, 10000));
  }
  const std::string second = "vandrelradio.instance" + std::to_string(copies[1].process->pid());
  EXPECT_TRUE(test::WaitUntil([&] { return Players() == "vandrelradio\n" + second + "\n"; }, 10s)) << Players();
  std::this_thread::sleep_for(1s);
  for (Copy& copy : copies) EXPECT_TRUE(copy.process->Running());

  const std::vector<pid_t> directory = ChildrenOf(copies[0].process->pid());
  ASSERT_EQ(directory.size(), 1u);
  copies[0].process->Signal(SIGKILL);
  EXPECT_TRUE(test::WaitUntil([&] { return Gone(directory[0]); }, 1s));
  EXPECT_TRUE(copies[1].process->Running());
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace
}  // namespace vandrel
