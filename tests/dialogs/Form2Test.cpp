#include "dialogs/Form2.h"

#include <QElapsedTimer>

#include "dialogs/MainWindowFixture.h"
#include "player/TaggedList.h"
#include "support/BoxCloser.h"
#include "support/CannedServer.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kCountries = "/radio/inter/keuze-uk.txt";

std::vector<std::string> Shipped(const char* path, const std::vector<std::string>& tags, std::size_t tag) {
  return ParseTaggedList(test::ReadFile(fs::path(VANDREL_SHIPPED_DIRECTORY_DATA) / path), tags)[tag];
}

class Form2Test : public test::MainWindowFixture {
 protected:
  static void SetUpTestSuite() { shipped_ = new test::DirectoryServerProcess(); }
  static void TearDownTestSuite() { delete shipped_; }

  // The main window with the Dutch stations listed, as after start-up.
  Form1& MainWithHolland() {
    Form1& main = MakeMain(shipped_->baseAddress());
    const auto names = Shipped("radio/inter/zenders/holland.txt", {"naam"}, 0);
    EXPECT_TRUE(test::WaitUntil([&] { return main.List1Box.List(0) == names.front(); }, 10s));
    return main;
  }

  static inline test::DirectoryServerProcess* shipped_ = nullptr;
};

TEST_F(Form2Test, ConfirmingTheSecondCountryHandsItOverAndTheStationsFollowASecondLater) {
  test::BoxCloser boxes;
  Form1& main = MainWithHolland();
  Form2 form(main);
  form.show();

  const auto names = Shipped("radio/inter/keuze-uk.txt", {"naam"}, 0);
  const auto files = Shipped("radio/inter/keuze-uk.txt", {"bestand"}, 0);
  ASSERT_GE(names.size(), 2u);
  ASSERT_EQ(form.List1->count(), static_cast<int>(names.size()));
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(form.List1Box.List(static_cast<int>(i)), names[i]);
  EXPECT_EQ(form.List2.items(), files);
  EXPECT_EQ(main.DownloadInfo.text(), test::ReadFile(fs::path(VANDREL_SHIPPED_DIRECTORY_DATA) / "radio/inter/keuze-uk.txt"));
  EXPECT_EQ(form.List1->selectedItems().size(), 0);

  ASSERT_TRUE(test::WaitUntil([&] { return form.Command1->text().toStdString() == Text("f2command1"); }, 2s));
  EXPECT_EQ(form.Label1->text().toStdString(), Text("f2label1"));
  EXPECT_EQ(form.Label2->text().toStdString(), Text("f2label2"));
  EXPECT_EQ(form.Command2->text().toStdString(), Text("f2command2"));
  EXPECT_FALSE(form.Timer1.isActive());
  EXPECT_EQ(form.Image1->geometry(), form.rect());

  form.List1->setCurrentRow(1);
  test::SaveScreenshot(form, "form2-country-chooser.png");
  const auto holland = main.List1Box.List(0);
  QElapsedTimer clock;
  clock.start();
  form.Command1->click();

  EXPECT_EQ(main.TaalGeselecteerdTekst->text().toStdString(), names[1]);
  EXPECT_EQ(main.TaalGeselecteerd, files[1]);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_FALSE(form.isVisible());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "Gekozen.");
  EXPECT_EQ(boxes.boxes[0].text, names[1] + Text("error3"));
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Information);

  const auto stations = Shipped(("radio/inter/zenders/" + files[1]).c_str(), {"naam"}, 0);
  ASSERT_TRUE(test::WaitUntil([&] { return main.List1Box.List(0) == stations.front(); }, 5s));
  EXPECT_GE(clock.elapsed(), 900);  // by the main window's list timer, not at once
  EXPECT_EQ(main.List1->count(), static_cast<int>(stations.size()));
  EXPECT_NE(stations.front(), holland);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(Form2Test, ANameWithoutListFileCannotBeChosenAndNamesKeepTheirBlanks) {
  const fs::path data = test::MakeDirectoryData(
      "countries", {{"radio/inter/keuze-uk.txt",
                     "<naam>Een</naam><bestand>een.txt</bestand>\n<naam> Twee  Land </naam><bestand>Twee Land.txt</bestand>\n"
                     "<naam>Drie</naam>\n"}});
  test::DirectoryServerProcess server(data.string());
  test::BoxCloser boxes;
  Form1& main = MakeMain(server.baseAddress());
  main.Timer1.stop();
  Form2 form(main);
  form.show();
  ASSERT_EQ(form.List1->count(), 3);
  EXPECT_EQ(form.List1Box.List(1), " Twee  Land ");
  EXPECT_EQ(form.List2.items(), (std::vector<std::string>{"een.txt", "Twee Land.txt"}));

  form.Command1->click();  // nothing selected
  form.List1->setCurrentRow(2);
  form.Command1->click();
  ASSERT_EQ(boxes.boxes.size(), 2u);
  for (const auto& box : boxes.boxes) {
    EXPECT_EQ(box.text, Text("error2"));
    EXPECT_EQ(box.title, Text("error0"));
    EXPECT_EQ(box.icon, QMessageBox::Information);
  }
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(main.TaalGeselecteerdTekst->text(), "Holland");
  EXPECT_EQ(main.TaalGeselecteerd, "holland.txt");
  EXPECT_FALSE(main.Timer1.isActive());

  // A double click only selects.
  test::DoubleClick(form.List1, 1);
  EXPECT_EQ(form.List1->currentRow(), 1);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(boxes.boxes.size(), 2u);
  form.Command1->click();
  EXPECT_EQ(main.TaalGeselecteerdTekst->text(), " Twee  Land ");
  EXPECT_EQ(main.TaalGeselecteerd, "Twee Land.txt");
  ASSERT_EQ(boxes.boxes.size(), 3u);
  EXPECT_EQ(boxes.boxes[2].text, " Twee  Land " + Text("error3"));
  fs::remove_all(data);
}

TEST_F(Form2Test, CancelChangesNothingAndEachOpeningDownloadsAnew) {
  test::BoxCloser boxes;
  Form1& main = MainWithHolland();
  const int before = test::Requests(shipped_->log(), kCountries);
  const auto stations = main.List1Box.List(0);
  {
    Form2 form(main);
    form.show();
    form.List1->setCurrentRow(2);
    form.Command2->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
  }
  Form2 again(main);
  EXPECT_EQ(again.List1->selectedItems().size(), 0);
  ASSERT_TRUE(test::WaitUntil([&] { return test::Requests(shipped_->log(), kCountries) == before + 2; }, 5s));

  test::Pump(1500ms);
  EXPECT_EQ(main.TaalGeselecteerdTekst->text(), "Holland");
  EXPECT_EQ(main.TaalGeselecteerd, "holland.txt");
  EXPECT_FALSE(main.Timer1.isActive());
  EXPECT_EQ(main.List1Box.List(0), stations);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Form2Test, AFailedDownloadShowsItsBoxAndTheDialogStillOpensEmpty) {
  test::BoxCloser boxes;
  Form1& main = MakeMain("http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/");
  main.Timer1.stop();
  Form2 form(main);  // the failure is the dialog's own: no exception reaches the opener
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, Text("error4"));
  EXPECT_EQ(boxes.boxes[0].title, Text("error0"));
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(form.List1->count(), 0);
  form.show();
  form.Command1->click();
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, Text("error2"));
  EXPECT_TRUE(form.isVisible());
}

}  // namespace
}  // namespace vandrel
