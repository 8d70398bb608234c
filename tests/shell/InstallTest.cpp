#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/CannedServer.h"
#include "support/DirectoryServerProcess.h"

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

// Run by the user "nobody" (a home of its own, the display, not root's session bus), seeded from the installation.
TEST(InstallTest, TheInstalledFolderIsCompleteValidRunsOnceAndANormalUserKeepsSettingsInTheirOwnFolder) {
  const test::TempFolder root("install"), home("home");
  fs::permissions(root.path(), fs::perms(0755));
  const fs::path prefix = root / "opt" / "vandrel radio", mine = home / ".config/vandrel-radio";
  ASSERT_EQ(Install(prefix, Quoted(root / "menu")), 0);
  // The programs and the desktop files are proven below by use.
  for (const char* file : {"INST.INI", "lang.ini", "def_head.skn", "def_frame1.skn", "def_balk1.skn", "def_head-dark.skn", "favo",
                           "directory/radio/inter/keuze-uk.txt", "share/icons/hicolor/scalable/apps/org.vandrel.Radio.svg",
                           "share/icons/hicolor/48x48/apps/org.vandrel.Radio.png"})
    EXPECT_TRUE(fs::exists(prefix / file)) << file;
  EXPECT_TRUE(fs::is_symlink(root / "menu/applications/org.vandrel.Radio.desktop"));
  const fs::path entry = prefix / "share/applications/org.vandrel.Radio.desktop";
  EXPECT_EQ(Shell("desktop-file-validate " + Quoted(entry)), 0);
  EXPECT_EQ(Shell("appstreamcli validate --no-net " + Quoted(prefix / "share/metainfo/org.vandrel.Radio.metainfo.xml")), 0);
  EXPECT_NE(test::ReadFile(entry).find("Exec=\"" + (prefix / "vandrel-radio").string() + "\"\n"), std::string::npos);

  std::ofstream(prefix / "INST.INI", std::ios::app) << "[Mine]\nkept=1\n";
  ASSERT_EQ(Install(prefix, "none"), 0);
  EXPECT_NE(test::ReadFile(prefix / "INST.INI").find("kept=1"), std::string::npos) << "a second install keeps it";
  {
    const int port = test::ClosedPort();
    std::ofstream(prefix / "directory.ini") << "[Directory]\nbase=http://127.0.0.1:" << port << "/\n";
    test::ChildProcess first({(prefix / "vandrel-radio").string()});
    EXPECT_TRUE(test::WaitForListener(port, 10000)) << "the carried directory serves the station lists";
    std::this_thread::sleep_for(500ms);
    test::ChildProcess second({(prefix / "vandrel-radio").string()});
    EXPECT_EQ(second.Wait(10s), 0) << "a second start hands over and ends";
    EXPECT_EQ(first.Wait(300ms), -1) << "the first runs on";  // ending it and its directory: ProgramRunTest
  }

  if (::geteuid() != 0 || std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "a normal user needs root and a display";
  test::DirectoryServerProcess server;
  // Nothing plays at the first start: without a sound card a box would cover the window.
  std::ofstream(prefix / "INST.INI", std::ios::trunc)
      << "[Online Radio]\ngrootscherm=1\nafspelen=0\nxsluiten=1\n[Onthouden]\nVolume=50\n"
         "LaatsteNAAM=.977 The Hits Channel\nLaatsteLandbestand=holland.txt\n";
  std::ofstream(prefix / "directory.ini") << "[Directory]\nbase=" << server.baseAddress() << "\n";
  const std::string installed = test::ReadFile(prefix / "INST.INI");
  ASSERT_EQ(::chown(home.path().c_str(), 65534, 65534), 0);
  std::vector<std::string> asNobody = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "env", "-i",
                                       "HOME=" + home.path().string(), "PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=xcb",
                                       std::string("DISPLAY=") + std::getenv("DISPLAY")};
  if (const char* key = std::getenv("XAUTHORITY")) {
    fs::copy_file(key, home / ".Xauthority");
    (void)::chown((home / ".Xauthority").c_str(), 65534, 65534);
    asNobody.push_back("XAUTHORITY=" + (home / ".Xauthority").string());
  }
  asNobody.push_back((prefix / "vandrel-radio").string());
  {
    test::ChildProcess first(asNobody);
    ASSERT_TRUE(test::PollUntil([&] { return server.log().find("zenders/holland.txt") != std::string::npos; }, 15000));
    // A user's click on "Add", the window moved to the corner first, away from other tests' centred windows.
    EXPECT_EQ(Shell("xdotool search --sync --onlyvisible --pid " + std::to_string(first.pid()) +
                    " --name '^Vandrel Internet Radio$' windowmove %1 0 0 windowraise %1 sleep 0.5 "
                    "mousemove --window %1 192 388 click 1"),
              0);
    EXPECT_TRUE(test::PollUntil([&] { return fs::exists(mine / "favo/.977 The Hits Channel"); }, 5000));
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(5s), 0);
  }
  EXPECT_EQ(test::ReadFile(mine / "favo/.977 The Hits Channel"), "[Internet]\nnaam=.977 The Hits Channel\nurl=\n");
  std::string settings = test::ReadFile(mine / "INST.INI");
  EXPECT_NE(settings.find("\nGeometry="), std::string::npos) << "written at the close";
  EXPECT_EQ(test::ReadFile(prefix / "INST.INI"), installed);

  // The next start reads the user's folder: it plays the long address at once.
  const std::string tone = "stream/tone?seconds=600&pad=" + std::string(260, 'p');
  const auto play = settings.find("afspelen=0"), url = settings.find("LaatsteURL=\n");
  ASSERT_TRUE(play != std::string::npos && url != std::string::npos) << settings;
  settings.replace(url, 12, "LaatsteURL=" + server.baseAddress() + tone + "\n").replace(play, 10, "afspelen=1");
  std::ofstream(mine / "INST.INI", std::ios::trunc) << settings;
  test::ChildProcess second(asNobody);
  EXPECT_TRUE(test::PollUntil([&] { return server.log().find("GET /" + tone + " ") != std::string::npos; }, 15000))
      << "the start-up resume plays the whole address";
}

}  // namespace
}  // namespace vandrel
