#include "player/Favourites.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/FileListBox.h"
#include "support/BoxCloser.h"
#include "support/ProgramFolderFixture.h"
#include "support/Files.h"

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

// The started main window, its favourites wired the way the program wires them.
class FavouritesTest : public test::ProgramFolderFixture {
 protected:
  void SetUp() override {
    Start().show();
    ASSERT_TRUE(StartedUp());
  }

  void Add(const std::string& name, const std::string& url) {
    form_->station().Restore(name);
    if (player_.URL() != url) form_->station().Open(url);
    form_->Command1->click();
  }

  void Choose(const std::string& name) {
    const auto found = form_->File1->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name;
    form_->File1->setCurrentItem(found.front());
  }

  std::string Error(const char* key) const { return form_->texts().Text(key); }
};

TEST_F(FavouritesTest, OddNamesAreStoredReplacedPlayedAndDeletedExactly) {
  test::BoxCloser boxes;
  // Quotes, UTF-8 and characters other systems refuse are kept as they stand.
  const std::vector<std::string> names = {"Radio Tien FM", "Radio \"Q\" 'Kwartet'", "R\xC3\xA1" "dio \xE2\x98\x85 ?: *"};
  for (std::size_t k = 0; k < names.size(); ++k) Add(names[k], Tone(600 + static_cast<int>(k)));
  for (std::size_t k = 0; k < names.size(); ++k) {
    EXPECT_EQ(ReadFile(folder_ / "favo" / names[k]),
              "[Internet]\nnaam=" + names[k] + "\nurl=" + Tone(600 + static_cast<int>(k)) + "\n");
  }
  EXPECT_EQ(Shown(form_->File1), (std::vector<std::string>{"Radio \"Q\" 'Kwartet'", "Radio Tien FM", names[2]}));

  Add("Radio Tien FM", Tone(700));  // the same station again replaces its address
  EXPECT_EQ(ReadFile(folder_ / "favo" / "Radio Tien FM"), "[Internet]\nnaam=Radio Tien FM\nurl=" + Tone(700) + "\n");
  EXPECT_EQ(form_->File1->count(), 3);

  Choose(names[2]);
  EXPECT_EQ(form_->ZenderNaam->text().toStdString(), names[2]);
  EXPECT_EQ(player_.URL(), Tone(602));

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
  EXPECT_EQ(form_->File1->count(), 3);
  EXPECT_EQ(form_->File1->findItems(QString::fromStdString(names[1]), Qt::MatchExactly).size(), 0);
  EXPECT_EQ(form_->File1Box.FileName(), "");
  EXPECT_EQ(player_.URL(), Tone(601));  // deleting stops nothing
  EXPECT_TRUE(boxes.boxes.empty());
}

// Names that would leave the folder, and files that cannot be written, give
// the add's error box; an empty name asks for a station; nothing else changes.
TEST_F(FavouritesTest, WhatCannotBeStoredGivesItsBoxAndLeavesEverything) {
  std::ofstream(folder_ / "INST.INI", std::ios::trunc) << "[Onthouden]\nVolume=40\n";
  fs::create_directory(folder_ / "favo" / "Map");  // a folder stands where the file would go
  const auto before = Tree(folder_);
  test::BoxCloser boxes;
  // IsFavouriteFileName owns the refused names; here one, and two the file system refuses.
  const std::vector<std::string> refused = {"../INST.INI", "Map", std::string(250, 'x')};
  for (const std::string& name : refused) Add(name, Tone(600));
  Add("", "");
  EXPECT_EQ(Tree(folder_), before);
  EXPECT_EQ(ReadFile(folder_ / "INST.INI"), "[Onthouden]\nVolume=40\n");
  ASSERT_EQ(boxes.boxes.size(), refused.size() + 1);
  for (std::size_t i = 0; i < refused.size(); ++i) {
    EXPECT_EQ(boxes.boxes[i].text, Error("error12")) << refused[i];
    EXPECT_EQ(boxes.boxes[i].icon, QMessageBox::Critical);
  }
  EXPECT_EQ(boxes.boxes.back().text, Error("error11"));
  EXPECT_EQ(boxes.boxes.back().icon, QMessageBox::Information);
  EXPECT_EQ(form_->File1->count(), 0);  // a folder is no favourite

  // Right after start the remembered name stands but the player has no address yet.
  Add("Onthouden", "");
  EXPECT_EQ(ReadFile(folder_ / "favo" / "Onthouden"), "[Internet]\nnaam=Onthouden\nurl=\n");
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
