#include "settings/Ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "vandrel-ini-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    path_ = (dir_ / "INST.INI").string();
  }
  void TearDown() override {
    ini_testing::SetRenameFunction(nullptr);
    fs::remove_all(dir_);
  }
  void Put(const std::string& content) { std::ofstream(path_, std::ios::binary) << content; }
  std::string Content() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // A temporary left behind would show up here.
  std::vector<std::string> Folder() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    return names;
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(IniTest, ReadsValuesTheWayTheFileFormatSays) {
  struct Case {
    const char* file;
    const char* section;
    const char* key;
    std::string expected;
  } cases[] = {
      {"[Radio]\nVolume=50\n", "radio", "volume", "50"},
      {"[ Radio ]\n  Volume =50  \n", "RADIO", "VOLUME", "50"},
      {"[lang]\nerror3= has been chosen.\n", "lang", "error3", " has been chosen."},
      {"[a]\r\nk=v\r\n", "a", "k", "v"},
      {"\xEF\xBB\xBF[a]\nk=v\n", "a", "k", "v"},
      {"[a]\nk=x=y\n", "a", "k", "x=y"},
      {"[a]\nk=\" abc\"\n", "a", "k", "\" abc\""},
      {"[a]\nk=\"\n", "a", "k", "\""},
      {"[a]\nk=1\nK=2\n", "a", "k", "1"},
      {"[a]\nk=1\n[A]\nk=2\nz=3\n", "a", "z", ""},
      {"[a]\n;k=1\n#k=2\n", "a", "k", ""},
      {"k=1\n[a]\n", "a", "k", ""},
      {"[a]\nk=1\n", "b", "k", ""},
      {"[a]\nk=1\n", "a", "j", ""},
      {"[b]\nk=1\n[a]\nj=2\n", "a", "k", ""},
  };
  for (const Case& c : cases) {
    Put(c.file);
    EXPECT_EQ(ReadIni(path_, c.section, c.key), c.expected) << c.file;
  }
  EXPECT_EQ(ReadIni((dir_ / "none.ini").string(), "a", "k"), "");
}

TEST_F(IniTest, CutsValuesAt199CharactersWithoutSplittingOne) {
  const std::string a198(198, 'a');
  struct Case {
    std::string stored;
    std::string expected;
  } cases[] = {
      {std::string(250, 'x'), std::string(199, 'x')},
      {a198 + " b", a198},                         // the cut leaves a trailing space
      {a198 + "\xE2\x82\xAC\xE2\x82\xAC", a198 + "\xE2\x82\xAC"},
      {a198 + "\xFF\xFE", a198 + "\xFF"},          // invalid bytes count one each
      {a198 + "\xE2\x82" "b", a198 + "\xE2"},      // a broken sequence is bytes
      {"Zu\xCC\x88rich \xF0\x9F\x93\xBB", "Zu\xCC\x88rich \xF0\x9F\x93\xBB"},
  };
  for (const Case& c : cases) {
    WriteIni(path_, "s", "k", c.stored);
    EXPECT_EQ(ReadIni(path_, "s", "k"), c.expected);
  }
}

TEST_F(IniTest, KeyZeroListsKeyNamesInExactly200Characters) {
  Put("[s]\nnaam=1\nurl=2\nNAAM=3\n; c=4\n[t]\nx=1\n");
  EXPECT_EQ(ReadIni(path_, "s", "0"), "naam\0url\0\0"s + std::string(190, ' '));
  EXPECT_EQ(ReadIni(path_, "none", "0"), "\0"s + std::string(199, ' '));
  EXPECT_EQ(ReadIni((dir_ / "none.ini").string(), "s", "0"), "\0"s + std::string(199, ' '));

  std::string many = "[s]\n";
  for (int i = 0; i < 30; ++i) many += "\xC3\xA9key" + std::to_string(10000 + i) + "=v\n";  // 9 characters each
  Put(many);
  const std::string list = ReadIni(path_, "s", "0");
  // 19 whole names take 190 characters, the 20th is cut to 8.
  std::string expected;
  for (int i = 0; i < 19; ++i) expected += "\xC3\xA9key" + std::to_string(10000 + i) + '\0';
  expected += "\xC3\xA9key1001"s + '\0' + '\0';
  EXPECT_EQ(list, expected);
}

TEST_F(IniTest, WritesChangeOnlyWhatTheyMust) {
  struct Case {
    const char* before;  // nullptr: no file
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  } cases[] = {
      {nullptr, "s", "k", "v", "[s]\nk=v\n"},
      {"[Radio]\r\n; note\r\n  Volume = 50\r\nx\r\n\r\n[b]\r\n", "radio", "VOLUME", "60",
       "[Radio]\r\n; note\r\n  Volume =60\r\nx\r\n\r\n[b]\r\n"},
      {"[a]\nk=1\nk=2\n", "a", "K", "3", "[a]\nk=3\nk=2\n"},
      {"[a]\nk=1\n\n[b]\nx=1\n", "a", "new", "2", "[a]\nk=1\nnew=2\n\n[b]\nx=1\n"},
      {"[a]\n\n[b]\n", "a", "new", "2", "[a]\nnew=2\n\n[b]\n"},
      {"[a]\r\nk=1", "c", "new", "2", "[a]\r\nk=1\r\n[c]\r\nnew=2\r\n"},
      {"[a]\nk=1", "a", "j", "2", "[a]\nk=1\nj=2\n"},
      {"[a]\nk=1\n[A]\nk=1\n", "a", "j", "2", "[a]\nk=1\nj=2\n[A]\nk=1\n"},
      {"[a]\n", "a", "k", "  pad  ", "[a]\nk=  pad  \n"},
      {"[a]\n", "a", "k", "\"q\"", "[a]\nk=\"q\"\n"},
      {"[a]\n", "a\r\nb", "k\n", "x\ry", "[a]\n[a b]\nk=x y\n"},
      {"[a]\n", "a", "k=1", "v", "[a]\n"},
      {"[a]\n", "a", "k]", "v", "[a]\n"},
      {"[a]\n", "a]", "k", "v", "[a]\n"},
  };
  for (const Case& c : cases) {
    fs::remove(path_);
    if (c.before != nullptr) Put(c.before);
    WriteIni(path_, c.section, c.key, c.value);
    EXPECT_EQ(Content(), c.after) << (c.before ? c.before : "(no file)");
  }
}

TEST_F(IniTest, ValuesReadBackAsWritten) {
  for (const std::string v : {"abc", "  lead", "\"q\"", "a \"b\" c", "", "\xC3\xA9t\xC3\xA9"}) {
    WriteIni(path_, "s", "k", v);
    EXPECT_EQ(ReadIni(path_, "s", "k"), v);
  }
  WriteIni(path_, "s", "k", "abc   ");
  EXPECT_EQ(ReadIni(path_, "s", "k"), "abc");
  EXPECT_EQ(Content(), "[s]\nk=abc   \n");
}

TEST_F(IniTest, FailedWritesLeaveTheOldFileAndNoTemporary) {
  Put("[a]\nk=old\n");
  chmod(path_.c_str(), 0640);
  ini_testing::SetRenameFunction([](const char*, const char*) { return -1; });
  WriteIni(path_, "a", "k", "new");
  EXPECT_EQ(Content(), "[a]\nk=old\n");
  EXPECT_EQ(Folder(), std::vector<std::string>{"INST.INI"});

  ini_testing::SetRenameFunction(nullptr);
  const std::string inMissingFolder = (dir_ / "missing" / "x.ini").string();
  EXPECT_NO_THROW(WriteIni(inMissingFolder, "a", "k", "v"));
  EXPECT_FALSE(fs::exists(dir_ / "missing"));

  fs::create_directory(dir_ / "adir");  // exists but cannot be read as a file
  WriteIni((dir_ / "adir").string(), "a", "k", "v");
  EXPECT_TRUE(fs::is_directory(dir_ / "adir"));
  fs::remove(dir_ / "adir");

  for (int i = 0; i < 20; ++i) WriteIni(path_, "s" + std::to_string(i % 3), "k" + std::to_string(i), "v");
  EXPECT_EQ(Folder(), std::vector<std::string>{"INST.INI"});
  EXPECT_EQ(ReadIni(path_, "a", "k"), "old");
  struct stat st {};
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

}  // namespace
}  // namespace vandrel
