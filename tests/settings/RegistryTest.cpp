#include "settings/Registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

namespace vandrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kName = "Vandrel Internet Radio";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The keys of the [Desktop Entry] group, values as they stand in the file.
std::map<std::string, std::string> Keys(const std::string& text) {
  std::map<std::string, std::string> keys;
  std::istringstream in(text);
  std::string line;
  bool inGroup = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') {
      inGroup = line == "[Desktop Entry]";
    } else if (inGroup && line.find('=') != std::string::npos) {
      keys.emplace(line.substr(0, line.find('=')), line.substr(line.find('=') + 1));
    }
  }
  return keys;
}

// What a desktop reads: first the string escapes, then the Exec quoting and
// "%%"; nullopt where the value breaks the rules.
std::optional<std::vector<std::string>> ExecArguments(const std::string& raw) {
  std::string value;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\') {
      value += raw[i];
      continue;
    }
    if (++i == raw.size()) return std::nullopt;
    switch (raw[i]) {
      case '\\': value += '\\'; break;
      case 's': value += ' '; break;
      case 'n': value += '\n'; break;
      case 't': value += '\t'; break;
      case 'r': value += '\r'; break;
      default: return std::nullopt;
    }
  }
  std::vector<std::string> args;
  std::size_t i = 0;
  while (i < value.size()) {
    if (value[i] == ' ') {
      ++i;
      continue;
    }
    std::string arg;
    if (value[i] == '"') {
      for (++i;; ++i) {
        if (i == value.size()) return std::nullopt;
        if (value[i] == '"') break;
        if (value[i] == '\\') {
          if (++i == value.size() || std::string_view("\"`$\\").find(value[i]) == std::string_view::npos) {
            return std::nullopt;
          }
        } else if (value[i] == '`' || value[i] == '$') {
          return std::nullopt;
        }
        arg += value[i];
      }
      ++i;
      if (i < value.size() && value[i] != ' ') return std::nullopt;
    } else {
      for (; i < value.size() && value[i] != ' '; ++i) {
        if (std::string_view("\t\n\"'\\><~|&;$*?#()`").find(value[i]) != std::string_view::npos) return std::nullopt;
        arg += value[i];
      }
    }
    std::string unpercented;
    for (std::size_t k = 0; k < arg.size(); ++k) {
      if (arg[k] == '%') {
        if (k + 1 == arg.size() || arg[k + 1] != '%') return std::nullopt;  // a field code
        ++k;
      }
      unpercented += arg[k];
    }
    args.push_back(unpercented);
  }
  return args;
}

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
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder_)) names.push_back(e.path().filename().string());
    return names;
  }

  fs::path dir_;
  std::string folder_;
};

TEST_F(RegistryTest, OnWritesAnEntryThatStartsTheProgramInAMissingFolder) {
  const std::string program = "/opt/Vandrel Radio/bin/vandrel-radio";
  SetAutostart(kName, program, folder_);

  EXPECT_EQ(AutostartEntryPath(folder_, kName), folder_ + "/vandrel-internet-radio.desktop");
  EXPECT_EQ(Entry(),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Vandrel Internet Radio\n"
            "Exec=\"/opt/Vandrel Radio/bin/vandrel-radio\"\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n"
            "Hidden=false\n"
            "X-Vandrel-Command=/opt/Vandrel Radio/bin/vandrel-radio\n");
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"vandrel-internet-radio.desktop"});
}

TEST_F(RegistryTest, ExecNamesExactlyTheProgramWhateverItsPathHolds) {
  const std::string programs[] = {
      "/usr/local/bin/vandrel-radio",
      "/home/a b/$HOME/vandrel-radio",
      "/home/x/\"quoted\" `cmd` back\\slash/vandrel-radio",
      "/home/x/100%/%u/vandrel-radio",
      "/home/x/it's (mine); a&b|c <d> ~e *?#/vandrel-radio",
      "/home/x/tab\there/new\nline/vandrel-radio",
      " /leading blank/vandrel-radio",
  };
  for (const std::string& program : programs) {
    SCOPED_TRACE(program);
    SetAutostart(kName, program, folder_);
    const auto keys = Keys(Entry());
    ASSERT_EQ(keys.count("Exec"), 1u);
    const auto args = ExecArguments(keys.at("Exec"));
    ASSERT_TRUE(args.has_value()) << keys.at("Exec");
    EXPECT_EQ(*args, std::vector<std::string>{program});
    EXPECT_EQ(keys.at("Hidden"), "false");
  }
  // Without reserved characters the path stands bare.
  SetAutostart(kName, "/usr/local/bin/vandrel-radio", folder_);
  EXPECT_EQ(Keys(Entry()).at("Exec"), "/usr/local/bin/vandrel-radio");
}

TEST_F(RegistryTest, OffKeepsTheEntryStartingNothingAndCarryingTheRemForm) {
  const std::string program = "/home/a b/$dir/vandrel-radio";
  SetAutostart(kName, program, folder_);
  SetAutostart(kName, "rem " + program, folder_);

  const auto keys = Keys(Entry());
  EXPECT_EQ(keys.at("Hidden"), "true");
  EXPECT_EQ(keys.at("X-GNOME-Autostart-enabled"), "false");
  EXPECT_EQ(keys.at("Exec"), "true");
  EXPECT_EQ(keys.at("X-Vandrel-Command"), "rem /home/a b/$dir/vandrel-radio");
  EXPECT_EQ(keys.at("Name"), kName);
  EXPECT_EQ(keys.at("Type"), "Application");

  // Off twice, then on again: still the one entry, nothing left beside it.
  SetAutostart(kName, "rem " + program, folder_);
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"vandrel-internet-radio.desktop"});
  SetAutostart(kName, program, folder_);
  EXPECT_EQ(Keys(Entry()).at("Hidden"), "false");
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"vandrel-internet-radio.desktop"});
}

TEST_F(RegistryTest, UnwritableFolderIsNotReportedAndOtherNamesStayInTheFolder) {
  // A plain file where a folder should be: not even root can write there.
  fs::create_directories(dir_);
  std::ofstream(dir_ / "not a folder") << "x";
  const std::string blocked = (dir_ / "not a folder" / "autostart").string();
  EXPECT_NO_THROW(SetAutostart(kName, "/p/vandrel-radio", blocked));
  EXPECT_NO_THROW(SetAutostart(kName, "rem /p/vandrel-radio", blocked));
  EXPECT_EQ(ReadFile(dir_ / "not a folder"), "x");
  EXPECT_NO_THROW(SetAutostart(kName, "/p/vandrel-radio", ""));

  SetAutostart("../../Evil/Name", "/p/vandrel-radio", folder_);
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"------evil-name.desktop"});
}

TEST(AutostartPaths, DefaultFolderFollowsTheDesktopRule) {
  const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string config = savedConfig ? savedConfig : "";
  const char* savedHome = std::getenv("HOME");
  const std::string home = savedHome ? savedHome : "";

  ::setenv("HOME", "/home/tester", 1);
  ::setenv("XDG_CONFIG_HOME", "/cfg/dir", 1);
  EXPECT_EQ(DefaultAutostartFolder(), "/cfg/dir/autostart");
  ::setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(DefaultAutostartFolder(), "/home/tester/.config/autostart");
  ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
  EXPECT_EQ(DefaultAutostartFolder(), "/home/tester/.config/autostart");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(DefaultAutostartFolder(), "/home/tester/.config/autostart");

  if (savedConfig) ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  if (savedHome) {
    ::setenv("HOME", home.c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
}

}  // namespace
}  // namespace vandrel
