#include "core/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include <glib.h>

#include "support/Files.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

constexpr const char* kName = "Vandrel Internet Radio";

// The entry as the desktop reads it: GLib's key-file and shell parsers judge it.
struct Entry {
  bool hidden = false, enabled = false;
  std::vector<std::string> exec;
  std::string command;
  bool operator==(const Entry&) const = default;
};

class RegistryTest : public ::testing::Test {
 protected:
  std::string Text() const { return ReadFile(AutostartEntryPath(folder_, kName)); }
  Entry Parsed() const {
    Entry entry;
    g_autoptr(GKeyFile) file = g_key_file_new();
    const auto get = [&](const char* k) { return g_key_file_get_string(file, G_KEY_FILE_DESKTOP_GROUP, k, nullptr); };
    const std::string path = AutostartEntryPath(folder_, kName);
    if (!g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, nullptr)) return entry;
    entry.hidden = g_key_file_get_boolean(file, G_KEY_FILE_DESKTOP_GROUP, "Hidden", nullptr);
    entry.enabled = g_key_file_get_boolean(file, G_KEY_FILE_DESKTOP_GROUP, "X-GNOME-Autostart-enabled", nullptr);
    g_autofree gchar* exec = get("Exec");
    g_auto(GStrv) argv = nullptr;
    if (exec != nullptr && g_shell_parse_argv(exec, nullptr, &argv, nullptr)) {
      for (gchar** arg = argv; *arg != nullptr; ++arg) {
        std::string word = *arg;  // "%%" is the desktop's field code for one "%"
        for (auto at = word.find("%%"); at != std::string::npos; at = word.find("%%", at + 1)) word.erase(at, 1);
        entry.exec.push_back(word);
      }
    }
    g_autofree gchar* command = get("X-Vandrel-Command");
    entry.command = command != nullptr ? command : "";
    return entry;
  }
  std::vector<fs::path> Folder() const { return {fs::directory_iterator(folder_), {}}; }

  test::TempFolder tmp_{"autostart"};
  const fs::path& dir_ = tmp_.path();
  std::string folder_ = (dir_ / "config home" / "autostart").string();
};

// Unquoted with field codes; quoted, with a leading blank, every character special to the shell or inside
// quotes, and the key file's escapes.
TEST_F(RegistryTest, OnAndOffRewriteTheOneEntryWhichOffKeepsStartingNothing) {
  for (const std::string program : {"/home/x/100%/%u/vandrel-radio",
                                    " /home/a b/$HOME/\"q\" `cmd` back\\slash/it's (mine); a&b|c <d> ~e *?#/"
                                    "tab\there/new\nline/vandrel-radio"}) {
    SCOPED_TRACE(program);
    SetAutostart(kName, program, folder_);  // the folder does not exist at first
    const std::string on = Text();
    EXPECT_EQ(Parsed(), (Entry{false, true, {program}, program})) << on;
    SetAutostart(kName, "rem " + program, folder_);
    EXPECT_EQ(Parsed(), (Entry{true, false, {"true"}, "rem " + program})) << Text();
    SetAutostart(kName, program, folder_);
    EXPECT_EQ(Text(), on);
    EXPECT_EQ(Folder(), std::vector<fs::path>{folder_ + "/vandrel-internet-radio.desktop"});
  }
}

TEST_F(RegistryTest, UnwritableFolderIsNotReportedAndOtherNamesStayInTheFolder) {
  // A plain file where a folder should be: not even root can write there.
  std::ofstream(dir_ / "not a folder") << "x";
  const std::string blocked = (dir_ / "not a folder" / "autostart").string();
  EXPECT_NO_THROW(SetAutostart(kName, "/p/vandrel-radio", blocked));
  EXPECT_EQ(ReadFile(dir_ / "not a folder"), "x");

  SetAutostart("../../Evil/Name", "/p/vandrel-radio", folder_);
  EXPECT_EQ(Folder(), std::vector<fs::path>{folder_ + "/------evil-name.desktop"});
}

}  // namespace
}  // namespace vandrel
