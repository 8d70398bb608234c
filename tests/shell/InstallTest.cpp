#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "support/CannedServer.h"
#include "support/ChildProcess.h"
#include "support/DirectoryServerProcess.h"
#include "support/Files.h"
#include "support/Loopback.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

int Install(const fs::path& prefix, const std::string& menu) {
  return Shell("VANDREL_MENU_DATA_DIR=" + menu + " '" CMAKE_COMMAND "' --install '" BUILD_DIR "' --prefix " +
               Quoted(prefix));
}

// An installed folder works on its own: it validates, serves the directory it carries and runs once.
TEST(InstallTest, TheInstalledFolderIsCompleteValidAndRunsOnce) {
  const test::TempFolder root("install");
  const fs::path prefix = root / "opt" / "vandrel radio";
  ASSERT_EQ(Install(prefix, Quoted(root / "menu")), 0);
  // The programs and the desktop files are proven below by use.
  for (const char* file :
       {"INST.INI", "lang.ini", "def_head.skn", "def_frame1.skn", "def_balk1.skn", "directory/radio/inter/keuze-uk.txt",
        "share/icons/hicolor/scalable/apps/org.vandrel.Radio.svg",
        "share/icons/hicolor/48x48/apps/org.vandrel.Radio.png"}) {
    EXPECT_TRUE(fs::exists(prefix / file)) << file;
  }
  EXPECT_TRUE(fs::is_directory(prefix / "favo"));
  EXPECT_TRUE(fs::is_symlink(root / "menu/applications/org.vandrel.Radio.desktop"));

  const fs::path entry = prefix / "share/applications/org.vandrel.Radio.desktop";
  EXPECT_EQ(Shell("desktop-file-validate " + Quoted(entry)), 0);
  EXPECT_EQ(Shell("appstreamcli validate --no-net " + Quoted(prefix / "share/metainfo/org.vandrel.Radio.metainfo.xml")),
            0);
  EXPECT_NE(test::ReadFile(entry).find("Exec=\"" + (prefix / "vandrel-radio").string() + "\"\n"), std::string::npos);

  // A second install keeps the user's settings.
  std::ofstream(prefix / "INST.INI", std::ios::app) << "[Mine]\nkept=1\n";
  ASSERT_EQ(Install(prefix, "none"), 0);
  EXPECT_NE(test::ReadFile(prefix / "INST.INI").find("kept=1"), std::string::npos);

  const int port = test::ClosedPort();
  std::ofstream(prefix / "directory.ini") << "[Directory]\nbase=http://127.0.0.1:" << port << "/\n";
  const std::string exe = (prefix / "vandrel-radio").string();
  test::ChildProcess first({exe});
  EXPECT_TRUE(test::WaitForListener(port, 10000)) << "the carried directory serves the station lists";
  std::this_thread::sleep_for(500ms);

  test::ChildProcess second({exe});
  EXPECT_EQ(second.Wait(10s), 0) << "a second start hands over and ends";
  EXPECT_EQ(first.Wait(300ms), -1) << "the first runs on";  // ending it and its directory: ProgramRunTest
}

// The user "nobody", with a home of its own and the display, without root's session bus.
std::vector<std::string> AsNobody(const fs::path& home, const std::string& program) {
  std::vector<std::string> args = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "env", "-i",
                                   "HOME=" + home.string(), "PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=xcb"};
  if (const char* display = std::getenv("DISPLAY")) args.push_back(std::string("DISPLAY=") + display);
  if (const char* key = std::getenv("XAUTHORITY")) {
    fs::copy_file(key, home / ".Xauthority", fs::copy_options::overwrite_existing);
    (void)::chown((home / ".Xauthority").c_str(), 65534, 65534);
    args.push_back("XAUTHORITY=" + (home / ".Xauthority").string());
  }
  args.push_back(program);
  return args;
}

// A user's click, the window moved to the corner first, away from other tests' centred windows.
bool Click(const test::ChildProcess& player, int x, int y) {
  return Shell("xdotool search --sync --onlyvisible --pid " + std::to_string(player.pid()) +
               " --name '^Vandrel Internet Radio$' windowmove %1 0 0 windowraise %1 sleep 0.5 mousemove --window %1 " +
               std::to_string(x) + " " + std::to_string(y) + " click 1") == 0;
}

// Installed by root, run by a user: settings in ~/.config/vandrel-radio, seeded, read back next start.
TEST(InstallTest, ANormalUserKeepsSettingsAndFavouritesInTheirOwnFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to install and to run as another user";
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display";
  test::DirectoryServerProcess server;
  const test::TempFolder root("install");
  fs::permissions(root.path(), fs::perms(0755));
  const fs::path prefix = root / "opt";
  ASSERT_EQ(Install(prefix, "none"), 0);
  // Nothing plays at the first start: without a sound card a box would cover the window.
  std::ofstream(prefix / "INST.INI", std::ios::trunc)
      << "[Online Radio]\ngrootscherm=1\nafspelen=0\nxsluiten=1\n[Onthouden]\nVolume=50\n"
         "LaatsteNAAM=.977 The Hits Channel\nLaatsteLandbestand=holland.txt\n";
  std::ofstream(prefix / "directory.ini") << "[Directory]\nbase=" << server.baseAddress() << "\n";
  const std::string installed = test::ReadFile(prefix / "INST.INI");
  const test::TempFolder home("home");
  ASSERT_EQ(::chown(home.path().c_str(), 65534, 65534), 0);
  const fs::path mine = home / ".config/vandrel-radio";
  {
    test::ChildProcess first(AsNobody(home.path(), (prefix / "vandrel-radio").string()));
    ASSERT_TRUE(test::PollUntil([&] { return server.log().find("zenders/holland.txt") != std::string::npos; }, 15000));
    ASSERT_TRUE(Click(first, 192, 388)) << "Add";
    EXPECT_TRUE(test::PollUntil([&] { return fs::exists(mine / "favo/.977 The Hits Channel"); }, 5000));
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(5s), 0);
  }
  EXPECT_EQ(test::ReadFile(mine / "favo/.977 The Hits Channel"), "[Internet]\nnaam=.977 The Hits Channel\nurl=\n");
  const std::string settings = test::ReadFile(mine / "INST.INI");
  EXPECT_NE(settings.find("\nGeometry="), std::string::npos) << "written at the close";
  EXPECT_EQ(test::ReadFile(prefix / "INST.INI"), installed);

  // The next start reads the user's folder: it plays the long address at once.
  const std::string address = server.baseAddress() + "stream/tone?seconds=600&pad=" + std::string(260, 'p');
  std::string next = settings;
  const auto play = next.find("afspelen=0"), url = next.find("LaatsteURL=\n");
  ASSERT_TRUE(play != std::string::npos && url != std::string::npos) << settings;
  next.replace(url, 12, "LaatsteURL=" + address + "\n").replace(play, 10, "afspelen=1");
  std::ofstream(mine / "INST.INI", std::ios::trunc) << next;
  test::ChildProcess second(AsNobody(home.path(), (prefix / "vandrel-radio").string()));
  const std::string request = "GET /stream/tone?seconds=600&pad=" + std::string(260, 'p') + " ";
  EXPECT_TRUE(test::PollUntil([&] { return server.log().find(request) != std::string::npos; }, 15000))
      << "the start-up resume plays the whole address";
}

}  // namespace
}  // namespace vandrel
