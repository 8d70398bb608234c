#include "player/Favourites.h"

#include <gtest/gtest.h>

#include <QDir>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/FileListBox.h"
#include "platform/MpvPlayer.h"
#include "platform/QtHttpClient.h"
#include "player/FavouriteFiles.h"
#include "player/Form1.h"
#include "support/ReadFile.h"
#include "support/ShippedFiles.h"
#include "support/BoxCloser.h"
#include "support/DirectoryServerProcess.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::ReadFile;

std::vector<std::string> Shown(const QListWidget* list) {
  std::vector<std::string> names;
  for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text().toStdString());
  return names;
}

// Everything below a folder, hidden files included.
std::vector<std::string> Tree(const fs::path& folder) {
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    paths.push_back(fs::relative(entry.path(), folder).string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// The main window with its favourites wired the way the program wires them.
class FavouritesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new test::DirectoryServerProcess(); }
  static void TearDownTestSuite() { delete server_; }

  FavouritesTest() {
    std::string tmpl = (fs::temp_directory_path() / "vandrel favourites XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("no temporary folder");
    folder_ = tmpl;
    test::CopyShippedProgramFiles(folder_);
    fs::remove(folder_ / "INST.INI");
    form_ = std::make_unique<Form1>(Form1::Environment{folder_.string(), server_->baseAddress(), http_, player_});
    form_->Timer1.stop();  // the station list and the settings file play no part here
    form_->Timer3.stop();
    form_->File1Box.setPath(FavouritesFolder(folder_.string()));
    form_->show();
  }
  ~FavouritesTest() override {
    form_.reset();
    fs::remove_all(folder_);
  }

  std::string Tone(int seconds) const { return server_->baseAddress() + "stream/tone?seconds=" + std::to_string(seconds); }

  void Add(const std::string& name, const std::string& url) {
    form_->ZenderNaam->setText(QString::fromStdString(name));
    if (player_.URL() != url) player_.setURL(url);
    form_->Command1->click();
  }

  void Choose(const std::string& name) {
    const auto found = form_->File1->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name;
    form_->File1->setCurrentItem(found.front());
  }

  std::string Error(const char* key) const { return form_->texts().Text(key); }

  static inline test::DirectoryServerProcess* server_ = nullptr;
  fs::path folder_;
  QtHttpClient http_;
  MpvPlayer player_{std::map<std::string, std::string>{{"ao", "null"}}};
  std::unique_ptr<Form1> form_;
};

TEST_F(FavouritesTest, OddNamesAreStoredReplacedPlayedAndDeletedExactly) {
  test::BoxCloser boxes;
  const std::vector<std::string> names = {"Radio Tien FM", "Radio \"Q\" 'Kwartet'", "R\xC3\xA1" "dio \xC3\x91" "and\xC3\xBA \xE2\x98\x85",
                                          "Wat? Radio: 1 *", "a..b"};
  for (std::size_t k = 0; k < names.size(); ++k) Add(names[k], Tone(600 + static_cast<int>(k)));
  for (std::size_t k = 0; k < names.size(); ++k) {
    EXPECT_EQ(ReadFile(folder_ / "favo" / names[k]),
              "[Internet]\nnaam=" + names[k] + "\nurl=" + Tone(600 + static_cast<int>(k)) + "\n");
  }
  EXPECT_EQ(Shown(form_->File1), (std::vector<std::string>{"a..b", "Radio \"Q\" 'Kwartet'", "Radio Tien FM",
                                                            "R\xC3\xA1" "dio \xC3\x91" "and\xC3\xBA \xE2\x98\x85",
                                                            "Wat? Radio: 1 *"}));

  Add("Radio Tien FM", Tone(700));  // the same station again replaces its address
  EXPECT_EQ(ReadFile(folder_ / "favo" / "Radio Tien FM"), "[Internet]\nnaam=Radio Tien FM\nurl=" + Tone(700) + "\n");
  EXPECT_EQ(form_->File1->count(), 5);

  form_->RadioUrl = "thuis.example/";
  Choose(names[2]);
  EXPECT_EQ(form_->ZenderNaam->text().toStdString(), names[2]);
  EXPECT_EQ(player_.URL(), Tone(602));
  EXPECT_EQ(form_->RadioUrl, "thuis.example/");  // still the homepage of the station list's station
  ASSERT_TRUE(test::WaitUntil([&] { return form_->Label14->text().startsWith("Playing"); }, 20s))
      << form_->Label14->text().toStdString();

  // Adding re-reads the list; that keeps the chosen line and plays nothing.
  Add("Nieuw", Tone(710));
  EXPECT_EQ(form_->File1Box.FileName(), names[2]);
  EXPECT_EQ(form_->ZenderNaam->text(), "Nieuw");
  EXPECT_EQ(player_.URL(), Tone(710));

  // A favourite played from the list rewrites its own file.
  Choose("Radio Tien FM");
  EXPECT_EQ(player_.URL(), Tone(700));
  form_->Command1->click();
  EXPECT_EQ(ReadFile(folder_ / "favo" / "Radio Tien FM"), "[Internet]\nnaam=Radio Tien FM\nurl=" + Tone(700) + "\n");

  Choose(names[1]);
  form_->Command2->click();
  EXPECT_FALSE(fs::exists(folder_ / "favo" / names[1]));
  EXPECT_EQ(form_->File1->count(), 5);
  EXPECT_EQ(form_->File1->findItems(QString::fromStdString(names[1]), Qt::MatchExactly).size(), 0);
  EXPECT_EQ(form_->File1Box.FileName(), "");
  EXPECT_EQ(player_.URL(), Tone(601));  // deleting stops nothing
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FavouritesTest, NamesThatWouldLeaveTheFolderAreRefusedWithTheAddsErrorBox) {
  std::ofstream(folder_ / "INST.INI") << "[Onthouden]\nVolume=40\n";
  const auto before = Tree(folder_);
  test::BoxCloser boxes;
  const std::vector<std::string> refused = {"../INST.INI", "a/b", "..", ".", ".verborgen", "/tmp/x"};
  for (const std::string& name : refused) Add(name, Tone(600));
  EXPECT_EQ(Tree(folder_), before);
  EXPECT_EQ(ReadFile(folder_ / "INST.INI"), "[Onthouden]\nVolume=40\n");
  ASSERT_EQ(boxes.boxes.size(), refused.size());
  for (const auto& box : boxes.boxes) {
    EXPECT_EQ(box.text, Error("error12"));
    EXPECT_EQ(box.title, Error("error0"));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
  }
  EXPECT_EQ(form_->File1->count(), 0);
}

TEST_F(FavouritesTest, AnEmptyNameIsNotStoredAndAnEmptyAddressIs) {
  test::BoxCloser boxes;
  Add("", "");
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, Error("error11"));
  EXPECT_EQ(boxes.boxes[0].title, Error("error0"));
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Information);
  EXPECT_TRUE(fs::is_empty(folder_ / "favo"));

  // Right after start the remembered name stands but the player has no address yet.
  Add("Onthouden", "");
  EXPECT_EQ(ReadFile(folder_ / "favo" / "Onthouden"), "[Internet]\nnaam=Onthouden\nurl=\n");
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(FavouritesTest, AFileThatCouldNotBeWrittenGivesTheAddsErrorBox) {
  test::BoxCloser boxes;
  fs::create_directory(folder_ / "favo" / "Map");
  Add("Map", Tone(600));              // a folder stands where the file would go
  Add(std::string(250, 'x'), Tone(600));  // longer than a file name may be
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, Error("error12"));
  EXPECT_EQ(boxes.boxes[1].text, Error("error12"));
  EXPECT_EQ(Tree(folder_ / "favo"), std::vector<std::string>{"Map"});
}

TEST_F(FavouritesTest, DeletingWithNothingSelectedOnlyAsks) {
  Add("Blijft", Tone(600));
  test::BoxCloser boxes;
  form_->Command2->click();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, Error("error13"));
  EXPECT_EQ(boxes.boxes[0].title, "Vandrel Internet Radio");
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::NoIcon);
  EXPECT_TRUE(fs::exists(folder_ / "favo" / "Blijft"));

  // A favourite already deleted by another program just leaves the list.
  Choose("Blijft");
  fs::remove(folder_ / "favo" / "Blijft");
  form_->Command2->click();
  EXPECT_EQ(form_->File1->count(), 0);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(FavouritesTest, AFileThatIsNoFavouriteIsListedAndPlaysNothing) {
  std::ofstream(folder_ / "favo" / ".Radio 1.tmp-a1B2c3") << "[Internet]\nnaam=Radio 1\n";
  std::ofstream(folder_ / "favo" / "notities.txt") << "just some notes\n";
  test::BoxCloser boxes;
  Add("Radio 1", Tone(600));
  EXPECT_EQ(Shown(form_->File1), (std::vector<std::string>{"notities.txt", "Radio 1"}));

  Choose("notities.txt");
  EXPECT_EQ(form_->ZenderNaam->text(), "");
  EXPECT_EQ(player_.URL(), "");
  test::Pump(300ms);
  EXPECT_TRUE(boxes.boxes.empty());

  FileListBox missing(form_->File1);
  EXPECT_THROW(missing.setPath((folder_ / "geen favo").string()), std::filesystem::filesystem_error);
}

}  // namespace
}  // namespace vandrel
