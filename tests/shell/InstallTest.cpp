#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/CannedServer.h"
#include "support/ChildProcess.h"
#include "support/Files.h"
#include "support/Loopback.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

// An installed program folder works on its own: it starts the directory it
// carries, validates as a desktop application, and runs once.
TEST(InstallTest, TheInstalledFolderIsCompleteValidAndRunsOnce) {
  const test::TempFolder root("install");
  const fs::path prefix = root / "opt" / "vandrel radio";
  const auto install = [&](const std::string& menu) {
    return Shell("VANDREL_MENU_DATA_DIR=" + menu + " '" CMAKE_COMMAND "' --install '" BUILD_DIR "' --prefix " +
                 Quoted(prefix));
  };
  ASSERT_EQ(install(Quoted(root / "menu")), 0);
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
  ASSERT_EQ(install("none"), 0);
  EXPECT_NE(test::ReadFile(prefix / "INST.INI").find("kept=1"), std::string::npos);

  const int port = test::ClosedPort();
  std::ofstream(prefix / "directory.ini") << "[Directory]\nbase=http://127.0.0.1:" << port << "/\n";
  const std::string exe = (prefix / "vandrel-radio").string();
  test::ChildProcess first({exe});
  EXPECT_TRUE(test::WaitForListener(port, 10000)) << "the carried directory serves the station lists";
  std::this_thread::sleep_for(500ms);

  test::ChildProcess second({exe});
  EXPECT_EQ(second.Wait(10s), 0) << "a second start hands over and ends";
  EXPECT_EQ(first.Wait(300ms), -1) << "the first runs on";

  first.Signal(SIGTERM);
  EXPECT_EQ(first.Wait(5s), 0);
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(test::WaitForListener(port, 0)) << "the directory ends with the player";
}

}  // namespace
}  // namespace vandrel
