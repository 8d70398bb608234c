// Where the settings live and how INST.INI and the autostart entry are written, also by racing or crashed writers.
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <vector>

#include "core/Ini.h"
#include "core/ProgramFolder.h"
#include "core/Registry.h"
#include "support/Files.h"
#include "support/TmpfsMount.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class IniTest : public ::testing::Test {
 protected:
  ~IniTest() override { ini_testing::SetRenameFunction(nullptr); }
  void Put(const std::string& content) { std::ofstream(path_, std::ios::binary) << content; }
  std::string Content() const { return test::ReadFile(path_); }

  test::TempFolder tmp_{"ini"};
  const fs::path& dir_ = tmp_.path();
  std::string path_ = (dir_ / "INST.INI").string();
};

// Key "0" lists the key names in exactly 200 characters: 19 whole names of 9 take 190, the 20th is cut to 8.
TEST_F(IniTest, ReadsValuesTheWayTheFileFormatSaysCutAt199CharactersAndKeyZeroListsKeyNames) {
  const std::string a198 = "[a]\nk=" + std::string(198, 'a'), cut = std::string(198, 'a');
  const std::string names = "[s]\nnaam=1\nurl=2\nNAAM=3\n; c=4\n[t]\nx=1\n", none = "\0"s + std::string(199, ' ');
  std::string many = "[s]\n", nineteen;
  for (int i = 0; i < 30; ++i) many += "\xC3\xA9key" + std::to_string(10000 + i) + "=v\n";
  for (int i = 0; i < 19; ++i) nineteen += "\xC3\xA9key" + std::to_string(10000 + i) + '\0';
  const std::tuple<std::string, const char*, const char*, std::string> cases[] = {
      {"[ Radio ]\n  Volume =50  \n", "RADIO", "volume", "50"},
      {"[lang]\nerror3= has been chosen.\n", "lang", "error3", " has been chosen."},
      {"\xEF\xBB\xBF[a]\r\nk=v\r\n", "a", "k", "v"},
      {"[b]\rk=1\r[a]\rj=2\rk=v\r", "a", "k", "v"},  // CR alone ends a line
      {"[a]\nk=x=y\n", "a", "k", "x=y"}, {"[a]\nk=\" abc\"\n", "a", "k", "\" abc\""},
      {"[a]\nk=1\nK=2\n", "a", "k", "1"}, {"[a]\nk=1\n[A]\nk=2\nz=3\n", "a", "z", ""},
      {"[a]\n;k=1\n#k=2\n", "a", "k", ""}, {a198 + " b\n", "a", "k", cut},  // the cut leaves a trailing space
      {a198 + "\xE2\x82\xAC\xE2\x82\xAC\n", "a", "k", cut + "\xE2\x82\xAC"},
      {names, "s", "0", "naam\0url\0\0"s + std::string(190, ' ')}, {names, "none", "0", none},
      {many, "s", "0", nineteen + "\xC3\xA9key1001"s + '\0' + '\0'},
      {a198 + "\xE2\x82" "b\n", "a", "k", cut + "\xE2"},  // invalid bytes count one each
  };
  for (const auto& [file, section, key, expected] : cases) {
    Put(file);
    EXPECT_EQ(ReadIni(path_, section, key), expected) << file;
  }
  EXPECT_EQ(ReadIni((dir_ / "none.ini").string(), "a", "k"), "");
  EXPECT_EQ(ReadIni((dir_ / "none.ini").string(), "s", "0"), none);
  EXPECT_EQ(ReadIniWhole(path_, "A", "K"), cut + "\xE2\x82" "b");  // stream addresses are not cut
}

TEST_F(IniTest, WritesChangeOnlyWhatTheyMust) {
  const std::tuple<const char*, const char*, const char*, const char*, const char*> cases[] = {
      {nullptr, "s", "k", "v", "[s]\nk=v\n"},  // no file yet
      {"[Radio]\r\n; note\r\n  Volume = 50\r\nx\r\n\r\n[b]\r\n", "radio", "VOLUME", "60",
       "[Radio]\r\n; note\r\n  Volume =60\r\nx\r\n\r\n[b]\r\n"},
      {"[a]\nk=1\nk=2\n", "a", "K", "3", "[a]\nk=3\nk=2\n"}, {"[a]\n\n[b]\n", "a", "new", "2", "[a]\nnew=2\n\n[b]\n"},
      {"[a]\nk=1\n\n[b]\nx=1\n", "a", "new", "2", "[a]\nk=1\nnew=2\n\n[b]\nx=1\n"},
      {"[a]\r\nk=1", "c", "new", "2", "[a]\r\nk=1\r\n[c]\r\nnew=2\r\n"},
      {"[a]\rk=1\r[b]\r", "a", "j", "2", "[a]\rk=1\rj=2\r[b]\r"},
      {"[a]\nk=1\n[A]\nk=1\n", "a", "j", "2", "[a]\nk=1\nj=2\n[A]\nk=1\n"},
      {"[a]\n", "a", "k", " \"q\" \xC3\xA9   ", "[a]\nk= \"q\" \xC3\xA9   \n"},  // stored as given
      {"[a]\n", "a\r\nb", "k\n", "x\ry", "[a]\n[a b]\nk=x y\n"}, {"[a]\n", "a", "k=1", "v", "[a]\n"},
      {"[a]\n", "a]", "k", "v", "[a]\n"},
  };
  for (const auto& [before, section, key, value, after] : cases) {
    fs::remove(path_);
    if (before != nullptr) Put(before);
    WriteIni(path_, section, key, value);
    EXPECT_EQ(Content(), after) << (before ? before : "(no file)");
  }
}

TEST_F(IniTest, TwoWritingProcessesLoseNoKey) {
  for (int w = 0; w < 2; ++w) {
    if (::fork() == 0) {
      for (int k = 0; k < 100; ++k) WriteIni(path_, "s", "k" + std::to_string(w * 100 + k), "v");
      ::_exit(0);
    }
  }
  while (::wait(nullptr) > 0) {}
  int lost = 0;
  for (int k = 0; k < 200; ++k) lost += ReadIni(path_, "s", "k" + std::to_string(k)) != "v";
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(test::Names(dir_), std::vector<std::string>{"INST.INI"});
}

// Refused (read-only, silently) or failed, a write leaves the old file; a crashed one's temporary goes; a link stays.
TEST_F(IniTest, FailedOrRefusedWritesLeaveTheOldFileAndNoTemporary) {
  Put("[a]\nk=old\n");
  fs::permissions(path_, fs::perms(0444));
  WriteIni(path_, "a", "k", "new");
  EXPECT_EQ(Content(), "[a]\nk=old\n");
  fs::permissions(path_, fs::perms(0640));
  ini_testing::SetRenameFunction([](const char*, const char*) { return -1; });
  EXPECT_FALSE(WriteIniValues(path_, {{"a", "k", "new"}}));
  EXPECT_EQ(Content(), "[a]\nk=old\n");
  EXPECT_EQ(test::Names(dir_), std::vector<std::string>{"INST.INI"}) << "a temporary";
  ini_testing::SetRenameFunction(nullptr);
  EXPECT_NO_THROW(WriteIni((dir_ / "missing" / "x.ini").string(), "a", "k", "v"));
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  tmp_.write(".INST.INI.tmp-a1B2c3", "[a]\nk=half");
  tmp_.write(".OTHER.INI.tmp-a1B2c3", "not ours");
  WriteIni(path_, "a", "k", "new");
  EXPECT_EQ(ReadIni(path_, "a", "k"), "new");
  EXPECT_EQ(fs::status(path_).permissions(), fs::perms(0640));
  const fs::path target = tmp_.write("real/target.ini", "[a]\r\nk=1\r\n");
  fs::create_symlink("real/target.ini", dir_ / "link.ini");
  WriteIni((dir_ / "link.ini").string(), "a", "j", "2");
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.ini"));
  EXPECT_EQ(test::ReadFile(target), "[a]\r\nk=1\r\nj=2\r\n");
  EXPECT_EQ(test::Names(dir_), (std::vector<std::string>{".OTHER.INI.tmp-a1B2c3", "INST.INI", "link.ini", "real"}));
  EXPECT_EQ(test::Names(dir_ / "real"), std::vector<std::string>{"target.ini"});
}

constexpr const char* kName = "Vandrel Internet Radio";

// The entry as GLib's key-file and shell parsers read it: hidden, enabled, Exec's words and the command.
using Entry = std::tuple<bool, bool, std::vector<std::string>, std::string>;

class RegistryTest : public ::testing::Test {
 protected:
  std::string Text() const { return test::ReadFile(AutostartEntryPath(folder_, kName)); }
  Entry Parsed() const {
    g_autoptr(GKeyFile) file = g_key_file_new();
    const auto get = [&](const char* k) { return g_key_file_get_string(file, G_KEY_FILE_DESKTOP_GROUP, k, nullptr); };
    const auto flag = [&](const char* k) { return !!g_key_file_get_boolean(file, G_KEY_FILE_DESKTOP_GROUP, k, nullptr); };
    if (!g_key_file_load_from_file(file, AutostartEntryPath(folder_, kName).c_str(), G_KEY_FILE_NONE, nullptr)) return {};
    g_autofree gchar* exec = get("Exec");
    g_autofree gchar* command = get("X-Vandrel-Command");
    Entry entry{flag("Hidden"), flag("X-GNOME-Autostart-enabled"), {}, command != nullptr ? command : ""};
    g_auto(GStrv) argv = nullptr;
    if (exec != nullptr && g_shell_parse_argv(exec, nullptr, &argv, nullptr)) {
      for (gchar** arg = argv; *arg != nullptr; ++arg) {
        std::string word;  // "%%" is one "%"; any other field code the launcher would expand
        for (const char* c = *arg; *c != '\0'; ++c) {
          if (*c == '%' && *++c != '%') return {};
          word += *c;
        }
        std::get<2>(entry).push_back(word);
      }
    }
    return entry;
  }
  std::vector<fs::path> Folder() const { return {fs::directory_iterator(folder_), {}}; }

  test::TempFolder tmp_{"autostart"};
  const fs::path& dir_ = tmp_.path();
  std::string folder_ = (dir_ / "config home" / "autostart").string();
};

// Unquoted with field codes; quoted, with a leading blank, all that is special to the shell and the key file.
TEST_F(RegistryTest, OnAndOffRewriteTheOneEntryWhichOffKeepsStartingNothingAndUnwritableIsNoError) {
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
  // Unwritable, it is not reported; another name stays in the folder.
  std::ofstream(dir_ / "not a folder") << "x";  // a plain file where a folder should be: not even root can write there
  const std::string blocked = (dir_ / "not a folder" / "autostart").string();
  EXPECT_NO_THROW(SetAutostart(kName, "/p/vandrel-radio", blocked));
  EXPECT_EQ(test::ReadFile(dir_ / "not a folder"), "x");
  fs::remove_all(folder_);
  SetAutostart("../../Evil/Name", "/p/vandrel-radio", folder_);
  EXPECT_EQ(Folder(), std::vector<fs::path>{folder_ + "/------evil-name.desktop"});
}

// Beside the program when the user may write it; where neither can be written, it says so.
TEST(SettingsFolderTest, TheProgramFolderWhenTheUserMayWriteItAndSaysWhenNothingIsWritable) {
  const test::TempFolder tmp("settings");
  const std::string portable = tmp.write("portable/favo/.R.tmp-Ab12Cd", "half").parent_path().parent_path().string();
  tmp.write("portable/.INST.INI.tmp-Ab12Cd", "half");
  tmp.write("portable/favo/.977 The Hits Channel", "[Internet]\n");
  SettingsPlace place = PrepareSettingsFolder(portable, (tmp / "user/vandrel-radio").string());
  EXPECT_EQ(place.folder, portable);
  EXPECT_TRUE(place.writable);
  EXPECT_EQ(test::Names(portable), std::vector<std::string>{"favo"});
  EXPECT_EQ(test::Names(portable + "/favo"), std::vector<std::string>{".977 The Hits Channel"});
  EXPECT_FALSE(fs::exists(tmp / "user"));

  const test::TmpfsMount installed(tmp / "opt", "100k");
  if (!installed.mounted()) GTEST_SKIP() << "no right to mount a read-only folder";
  ASSERT_TRUE(installed.MakeReadOnly());
  // The user's own folder, seeded once, is InstallTest's.
  place = PrepareSettingsFolder((tmp / "opt").string(), (tmp / "opt/home/vandrel-radio").string());
  EXPECT_EQ(place.folder, (tmp / "opt").string());
  EXPECT_FALSE(place.writable);
}

TEST(SettingsFolderTest, SettingsAndAutostartFollowXdgConfigHomeThenHome) {
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {"/x/conf", "/h", "/x/conf/vandrel-radio"}, {"relative", "/h", "/h/.config/vandrel-radio"},
      {nullptr, "/h/", "/h/.config/vandrel-radio"}};
  for (const auto& [xdg, h, expected] : cases) {
    xdg ? ::setenv("XDG_CONFIG_HOME", xdg, 1) : ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", h, 1);
    EXPECT_EQ(UserSettingsFolder(), expected) << (xdg ? xdg : "(unset)");  // nothing after this reads them
    EXPECT_EQ(DefaultAutostartFolder(), expected.substr(0, expected.size() - 13) + "autostart");
  }
}

}  // namespace
}  // namespace vandrel
