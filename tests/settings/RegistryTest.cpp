#include "settings/Registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "../support/ReadFile.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

constexpr const char* kName = "Vandrel Internet Radio";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "vandrel-autostart-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    folder_ = (dir_ / "config home" / "autostart").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Entry() const { return ReadFile(AutostartEntryPath(folder_, kName)); }
  std::vector<fs::path> Folder() const { return {fs::directory_iterator(folder_), {}}; }

  fs::path dir_;
  std::string folder_;
};

TEST_F(RegistryTest, OnAndOffRewriteTheOneEntryWhichOffKeepsStartingNothing) {
  const std::string program = "/opt/Vandrel Radio/bin/vandrel-radio";
  const std::vector<fs::path> one{folder_ + "/vandrel-internet-radio.desktop"};
  SetAutostart(kName, program, folder_);  // the folder does not exist yet
  const std::string on = Entry();
  EXPECT_EQ(on,
            "[Desktop Entry]\nType=Application\nName=Vandrel Internet Radio\n"
            "Exec=\"/opt/Vandrel Radio/bin/vandrel-radio\"\nTerminal=false\nX-GNOME-Autostart-enabled=true\n"
            "Hidden=false\nX-Vandrel-Command=/opt/Vandrel Radio/bin/vandrel-radio\n");
  EXPECT_EQ(Folder(), one);

  SetAutostart(kName, "rem " + program, folder_);
  EXPECT_EQ(Entry(),
            "[Desktop Entry]\nType=Application\nName=Vandrel Internet Radio\nExec=true\nTerminal=false\n"
            "X-GNOME-Autostart-enabled=false\nHidden=true\n"
            "X-Vandrel-Command=rem /opt/Vandrel Radio/bin/vandrel-radio\n");

  SetAutostart(kName, program, folder_);
  EXPECT_EQ(Entry(), on);
  EXPECT_EQ(Folder(), one);
}

// The Exec value is string-escaped over the desktop quoting: "\\" stands for
// one backslash, which inside quotes escapes " ` $ and \; "%%" is one "%".
TEST_F(RegistryTest, ExecNamesExactlyTheProgramWhateverItsPathHolds) {
  const std::pair<std::string, std::string> cases[] = {
      {"/usr/local/bin/vandrel-radio", "/usr/local/bin/vandrel-radio"},
      {"/home/a b/$HOME/vandrel-radio", R"("/home/a b/\\$HOME/vandrel-radio")"},
      {"/home/x/\"quoted\" `cmd` back\\slash/vandrel-radio",
       R"("/home/x/\\"quoted\\" \\`cmd\\` back\\\\slash/vandrel-radio")"},
      {"/home/x/100%/%u/vandrel-radio", "/home/x/100%%/%%u/vandrel-radio"},
      {"/home/x/it's (mine); a&b|c <d> ~e *?#/x", R"("/home/x/it's (mine); a&b|c <d> ~e *?#/x")"},
      {"/home/x/tab\there/new\nline/vandrel-radio", R"("/home/x/tab\there/new\nline/vandrel-radio")"},
      {" /leading blank/vandrel-radio", R"(" /leading blank/vandrel-radio")"},
  };
  for (const auto& [program, exec] : cases) {
    SetAutostart(kName, program, folder_);
    EXPECT_NE(Entry().find("\nExec=" + exec + "\n"), std::string::npos) << Entry();
  }
}

TEST_F(RegistryTest, UnwritableFolderIsNotReportedAndOtherNamesStayInTheFolder) {
  // A plain file where a folder should be: not even root can write there.
  fs::create_directories(dir_);
  std::ofstream(dir_ / "not a folder") << "x";
  const std::string blocked = (dir_ / "not a folder" / "autostart").string();
  EXPECT_NO_THROW(SetAutostart(kName, "/p/vandrel-radio", blocked));
  EXPECT_EQ(ReadFile(dir_ / "not a folder"), "x");

  SetAutostart("../../Evil/Name", "/p/vandrel-radio", folder_);
  EXPECT_EQ(Folder(), std::vector<fs::path>{folder_ + "/------evil-name.desktop"});
}

TEST(AutostartPaths, DefaultFolderFollowsTheDesktopRule) {
  ::setenv("HOME", "/home/tester", 1);  // nothing after this test reads them
  ::setenv("XDG_CONFIG_HOME", "/cfg/dir", 1);
  EXPECT_EQ(DefaultAutostartFolder(), "/cfg/dir/autostart");
  for (const char* ignored : {"", "relative/cfg"}) {
    ::setenv("XDG_CONFIG_HOME", ignored, 1);
    EXPECT_EQ(DefaultAutostartFolder(), "/home/tester/.config/autostart") << ignored;
  }
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(DefaultAutostartFolder(), "/home/tester/.config/autostart");
}

}  // namespace
}  // namespace vandrel
