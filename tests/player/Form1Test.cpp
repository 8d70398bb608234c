#include "player/Form1.h"

#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <fstream>

#include "player/TaggedList.h"
#include "settings/Ini.h"
#include "support/Files.h"
#include "support/BoxCloser.h"
#include "support/CannedServer.h"
#include "support/ProgramFolderFixture.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::ReadFile;

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string ToneRecord(const std::string& name, int seconds) {
  return "<naam>" + name + "</naam><url>{{base}}stream/tone?seconds=" + std::to_string(seconds) + "</url><homepage>" +
         name + ".example/</homepage>\n";
}

class Form1Test : public test::ProgramFolderFixture {
 protected:
  // A directory whose Dutch list holds three stations that all play locally.
  static void SetUpTestSuite() {
    ProgramFolderFixture::SetUpTestSuite();
    const std::string list = ToneRecord("Toon een", 600) + ToneRecord("Toon twee", 601) + ToneRecord("Toon drie", 602);
    tones_ = new test::ServedData({{"radio/inter/zenders/holland.txt", list}});
  }
  static void TearDownTestSuite() {
    delete tones_;
    ProgramFolderFixture::TearDownTestSuite();
  }

  std::unique_ptr<Form1>& MakeForm(const std::string& base) {
    Start(base).show();
    return form_;
  }

  bool WaitForStations(Form1& form, int count) {
    return test::WaitUntil([&] { return form.List1->count() == count; }, 10s);
  }

  bool WaitForPlaying(Form1& form) {
    return test::WaitUntil([&] { return form.Label14->text().startsWith("Playing"); }, 20s);
  }

  static inline test::ServedData* tones_ = nullptr;
};

TEST_F(Form1Test, ListsTheShippedDutchStationsAndPlaysTheLocalOne) {
  test::BoxCloser boxes;
  auto& form = MakeForm(server_->baseAddress());
  ASSERT_EQ(form->List1->count(), 1);
  EXPECT_EQ(form->List1Box.List(0), form->texts().Text("error14"));

  const std::string shipped = ReplaceAll(
      ReadFile(fs::path(VANDREL_SHIPPED_DIRECTORY_DATA) / "radio/inter/zenders/holland.txt"), "{{base}}",
      server_->baseAddress());
  const auto expected = ParseTaggedList(shipped, {"naam", "url", "homepage"});
  ASSERT_GT(expected[0].size(), 1u);
  ASSERT_TRUE(WaitForStations(*form, static_cast<int>(expected[0].size())));
  for (std::size_t i = 0; i < expected[0].size(); ++i) {
    EXPECT_EQ(form->List1Box.List(static_cast<int>(i)), expected[0][i]);
  }
  EXPECT_EQ(form->List2.items(), expected[1]);
  EXPECT_EQ(form->List3.items(), expected[2]);

  // The first Dutch station is the directory's own tone stream.
  form->List1->setCurrentRow(0);
  EXPECT_EQ(player_.URL(), expected[1][0]);
  EXPECT_EQ(form->ZenderNaam->text().toStdString(), expected[0][0]);
  EXPECT_EQ(form->RadioUrl(), expected[2][0]);
  // The whole status, however the label cuts it (WindowLayoutTest owns the cutting).
  ASSERT_TRUE(test::WaitUntil([&] { return form->Label14->toolTip() == "Playing: Vandrel test tone - 440 Hz"; }, 20s))
      << form->Label14->text().toStdString();
  test::SaveScreenshot(*form, "form1-playing.png");
  EXPECT_TRUE(boxes.boxes.empty());
}

// Clicks go through the window's own hit test, as a user's do.
void ClickAt(QWidget& form, QWidget* control) {
  QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, control->mapTo(&form, control->rect().center()));
}

TEST_F(Form1Test, KeysPlayEachStationPassedStopStopsAndTheSelectedStationPlaysAgain) {
  test::BoxCloser boxes;
  auto& form = MakeForm(tones_->server->baseAddress());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  ASSERT_TRUE(WaitForStations(*form, 3));
  form->List1->setFocus();
  form->List1->setCurrentRow(0);
  ASSERT_TRUE(WaitForPlaying(*form));
  for (int row = 1; row < 3; ++row) {
    QTest::keyClick(form->List1, Qt::Key_Down);
    EXPECT_EQ(player_.URL(), form->List2.List(row));
    EXPECT_EQ(form->ZenderNaam->text().toStdString(), form->List1Box.List(row));
    EXPECT_EQ(form->RadioUrl(), form->List3.List(row));
  }
  ASSERT_TRUE(WaitForPlaying(*form));
  form->Slider1->setValue(0);  // silent, not paused
  EXPECT_EQ(player_.volume(), 0);

  // The country name's label overlaps the lower part of the button.
  ASSERT_TRUE(form->TaalGeselecteerdTekst->geometry().intersects(form->Command3->geometry()));
  ClickAt(*form, form->Command3);
  EXPECT_EQ(form->Label14->text(), "Stopped");
  EXPECT_EQ(form->ZenderNaam->text(), "Toon drie");  // the stop changes nothing else
  EXPECT_EQ(form->List1->currentRow(), 2);

  const QListWidgetItem* selected = form->List1->item(2);
  QTest::mouseClick(form->List1->viewport(), Qt::LeftButton, {}, form->List1->visualItemRect(selected).center());
  ASSERT_TRUE(WaitForPlaying(*form));
  form->stopspelen->trigger();
  EXPECT_EQ(form->Label14->text(), "Stopped");
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Form1Test, APlayerErrorGivesExactlyOneNoticeBox) {
  test::BoxCloser boxes;
  test::CannedServer deadStream("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  tones_->data.write("radio/inter/zenders/dead.txt", "<naam>Dood</naam><url>" + deadStream.address() + "stream</url>\n");
  WriteIni((folder_ / "INST.INI").string(), "Onthouden", "LaatsteLandbestand", "dead.txt");
  auto& form = MakeForm(tones_->server->baseAddress());
  ASSERT_TRUE(test::WaitUntil([&] { return form->List1Box.List(0) == "Dood"; }, 10s));
  form->List1->setCurrentRow(0);
  ASSERT_TRUE(test::WaitUntil([&] { return !boxes.boxes.empty(); }, 20s));
  test::Pump(1500ms);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, form->texts().Text("error18"));
  EXPECT_EQ(boxes.boxes[0].title, form->texts().Text("error0"));
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Information);
  EXPECT_EQ(player_.URL(), deadStream.address() + "stream");  // not stopped, not retried
}

TEST_F(Form1Test, AnUnreachableDirectoryGivesOneErrorBoxAndAnEmptyList) {
  test::BoxCloser boxes;
  auto& form = MakeForm("http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/");
  ASSERT_TRUE(test::WaitUntil([&] { return !boxes.boxes.empty(); }, 10s));
  test::Pump(1500ms);  // the load is not retried
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, form->texts().Text("error10"));
  EXPECT_EQ(boxes.boxes[0].title, form->texts().Text("error0"));
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(form->List1->count(), 0);
}

TEST_F(Form1Test, ABodyWithoutValuesLeavesTheListsEmptyAndAStrayLinePlaysNothing) {
  test::BoxCloser boxes;
  test::CannedServer page("HTTP/1.1 500 Oops\r\nContent-Length: 5\r\nConnection: close\r\n\r\noops!");
  auto& form = MakeForm(page.address());
  test::Pump(2000ms);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(form->List1->count(), 0);
  form->List1Box.AddItem("stray");
  form->List1->setCurrentRow(0);
  EXPECT_EQ(player_.URL(), "");
  EXPECT_EQ(form->ZenderNaam->text().toStdString(), "stray");
  test::Pump(500ms);
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace vandrel
