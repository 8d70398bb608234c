#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/CannedServer.h"

extern char** environ;

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

bool Answers(int port) {
  const std::string probe = "bash -c 'exec 3<>/dev/tcp/127.0.0.1/" + std::to_string(port) + "' 2>/dev/null";
  return std::system(probe.c_str()) == 0;
}

pid_t Spawn(const std::string& exe) {
  char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
  pid_t pid = 0;
  return posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

// Waits for a child to end; its exit status, or -1 when it is still running.
int Ended(pid_t pid, std::chrono::milliseconds limit) {
  for (auto waited = 0ms; waited < limit; waited += 50ms) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    std::this_thread::sleep_for(50ms);
  }
  return -1;
}

// An installed program folder works on its own: it starts the directory it
// carries, validates as a desktop application, and runs once.
TEST(InstallTest, TheInstalledFolderIsCompleteValidAndRunsOnce) {
  const fs::path root = fs::temp_directory_path() / ("vandrel install " + std::to_string(::getpid()));
  const fs::path prefix = root / "opt" / "vandrel radio";
  fs::remove_all(root);
  ASSERT_EQ(Shell("VANDREL_MENU_DATA_DIR=" + Quoted(root / "menu") + " '" CMAKE_COMMAND "' --install '" BUILD_DIR
                "' --prefix " + Quoted(prefix)),
            0);
  for (const char* file : {"vandrel-radio", "vandrel-directory", "INST.INI", "lang.ini", "def_head.skn",
                           "def_frame1.skn", "def_balk1.skn", "directory/radio/inter/keuze-uk.txt",
                           "share/applications/org.vandrel.Radio.desktop",
                           "share/metainfo/org.vandrel.Radio.metainfo.xml",
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
  std::ifstream in(entry);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("Exec=\"" + (prefix / "vandrel-radio").string() + "\"\n"), std::string::npos);

  // A second install keeps the user's settings.
  std::ofstream(prefix / "INST.INI", std::ios::app) << "[Mine]\nkept=1\n";
  ASSERT_EQ(Shell("VANDREL_MENU_DATA_DIR=none '" CMAKE_COMMAND "' --install '" BUILD_DIR "' --prefix " + Quoted(prefix)),
            0);
  std::ifstream settings(prefix / "INST.INI");
  std::stringstream kept;
  kept << settings.rdbuf();
  EXPECT_NE(kept.str().find("kept=1"), std::string::npos);

  const int port = test::ClosedPort();
  std::ofstream(prefix / "directory.ini") << "[Directory]\nbase=http://127.0.0.1:" << port << "/\n";
  const std::string exe = (prefix / "vandrel-radio").string();
  const pid_t first = Spawn(exe);
  ASSERT_GT(first, 0);
  bool served = false;
  for (auto waited = 0ms; waited < 10s && !served; waited += 100ms) {
    std::this_thread::sleep_for(100ms);
    served = Answers(port);
  }
  EXPECT_TRUE(served) << "the carried directory serves the station lists";
  std::this_thread::sleep_for(500ms);

  const pid_t second = Spawn(exe);
  ASSERT_GT(second, 0);
  EXPECT_EQ(Ended(second, 10s), 0) << "a second start hands over and ends";
  EXPECT_EQ(Ended(first, 300ms), -1) << "the first runs on";

  ::kill(first, SIGTERM);
  EXPECT_EQ(Ended(first, 5s), 0);
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(Answers(port)) << "the directory ends with the player";
  fs::remove_all(root);
}

}  // namespace
}  // namespace vandrel
