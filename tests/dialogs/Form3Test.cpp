#include "dialogs/Form3.h"

#include <QKeyEvent>

#include "dialogs/MainWindowFixture.h"
#include "support/BoxCloser.h"
#include "support/CannedServer.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kSearch = "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=";

std::string Tone(int seconds) { return "{{base}}stream/tone?seconds=" + std::to_string(seconds); }

std::string Station(const std::string& name, int seconds) {
  return "<naam>" + name + "</naam><url>" + Tone(seconds) + "</url><homepage>home.example/</homepage>\n";
}

// Stations that all play from the local directory.
fs::path SearchData() {
  return test::MakeDirectoryData(
      "search", {{"radio/inter/zenders/holland.txt", Station("Thuis", 600)},
                 {"radio/inter/zenders/jazz.txt", Station("Jazz Een", 601) + Station("Smooth Jazz Twee", 602)},
                 {"radio/inter/zenders/rock.txt", Station("Rock & Roll Radio", 603) + Station("Rock Classics", 604) +
                                                      Station("Q+ #1 100% Hits", 605)},
                 // The name holds a second opening tag: the answer has two names for one address.
                 {"radio/inter/zenders/odd.txt", "<naam>Doubled <naam>Echo</naam><url>" + Tone(606) + "</url>\n"}});
}

void PressReturn(QWidget* widget) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

class Form3Test : public test::MainWindowFixture {
 protected:
  static void SetUpTestSuite() {
    data_ = SearchData();
    server_ = new test::DirectoryServerProcess(data_.string());
  }
  static void TearDownTestSuite() {
    delete server_;
    fs::remove_all(data_);
  }

  std::string Url(int seconds) const {
    return server_->baseAddress() + "stream/tone?seconds=" + std::to_string(seconds);
  }

  std::vector<std::string> Names(const Form3& form) const {
    std::vector<std::string> names;
    for (int i = 0; i < form.List1Box.ListCount(); ++i) names.push_back(form.List1Box.List(i));
    return names;
  }

  // Searches as the user does: the word, then Enter in the search field.
  void Search(Form3& form, const std::string& word) {
    form.Text1->setText(QString::fromStdString(word));
    form.Text1->setFocus();
    PressReturn(form.Text1);
  }

  bool Requested(const std::string& rawWord) const {
    return test::WaitUntil([&] { return test::Requests(server_->log(), kSearch + rawWord) > 0; }, 5s);
  }

  Form1& Main() {
    Form1& main = MakeMain(server_->baseAddress());
    EXPECT_TRUE(test::WaitUntil([&] { return main.List1Box.List(0) == "Thuis"; }, 10s));
    return main;
  }

  static inline fs::path data_;
  static inline test::DirectoryServerProcess* server_ = nullptr;
};

TEST_F(Form3Test, OpensWithTheHintLineWhichCannotBePlayed) {
  test::BoxCloser boxes;
  Form1& main = Main();
  const std::size_t logged = server_->log().size();
  Form3 form(main);
  EXPECT_EQ(Names(form), std::vector<std::string>{Text("f3list1")});
  EXPECT_EQ(form.List2.ListCount(), 0);
  EXPECT_EQ(form.Command1->text().toStdString(), Text("f2command1"));
  EXPECT_EQ(form.Command2->text().toStdString(), Text("f2command2"));
  EXPECT_EQ(form.Command3->text().toStdString(), Text("f3command3"));
  EXPECT_EQ(form.Label1->text().toStdString(), Text("f3label1"));
  EXPECT_EQ(form.Label2->text().toStdString(), Text("f3label2"));
  EXPECT_EQ(form.Image1->geometry(), form.rect());
  EXPECT_TRUE(form.Command3->isDefault());
  form.show();

  form.List1->setCurrentRow(0);
  form.Command1->click();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, Text("error5"));
  EXPECT_EQ(boxes.boxes[0].title, Text("error0"));
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Information);
  EXPECT_EQ(player_.URL(), "");
  test::Pump(200ms);
  EXPECT_EQ(server_->log().size(), logged);  // nothing downloaded
}

TEST_F(Form3Test, PlayingAHitSetsTheMainWindowAndLeavesTheDialogOpen) {
  test::BoxCloser boxes;
  Form1& main = Main();
  Form3 form(main);
  form.show();
  form.activateWindow();
  Search(form, "jazz");
  ASSERT_TRUE(Requested("jazz"));
  EXPECT_EQ(Names(form), (std::vector<std::string>{"Jazz Een", "Smooth Jazz Twee"}));
  EXPECT_EQ(form.List2.items(), (std::vector<std::string>{Url(601), Url(602)}));

  form.List1->setCurrentRow(1);
  test::SaveScreenshot(form, "form3-station-search.png");
  form.Command1->click();
  EXPECT_EQ(player_.URL(), Url(602));
  EXPECT_EQ(main.ZenderNaam->text(), "Smooth Jazz Twee");
  EXPECT_EQ(main.RadioUrl, "127.0.0.1:" + std::to_string(server_->port()));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Smooth Jazz Twee" + Text("error6"));
  EXPECT_EQ(boxes.boxes[0].title, Text("error0"));
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Information);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.List1->currentRow(), 1);
  EXPECT_EQ(form.List1->count(), 2);

  form.List1->setCurrentRow(0);
  form.Command1->click();
  EXPECT_EQ(player_.URL(), Url(601));
  EXPECT_EQ(main.ZenderNaam->text(), "Jazz Een");
  ASSERT_TRUE(test::WaitUntil([&] { return main.Label14->text().startsWith("Playing"); }, 20s))
      << main.Label14->text().toStdString();

  // Closing leaves the hit playing and the main window's own list as it was.
  form.Command2->click();
  EXPECT_EQ(form.result(), QDialog::Rejected);
  test::Pump(300ms);
  EXPECT_EQ(player_.URL(), Url(601));
  EXPECT_TRUE(main.Label14->text().startsWith("Playing"));
  EXPECT_EQ(main.List1->count(), 1);
  EXPECT_EQ(main.List1Box.List(0), "Thuis");
  EXPECT_EQ(main.TaalGeselecteerdTekst->text(), "Holland");
  EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST_F(Form3Test, WordsReachTheServerAsTypedAndEnterSearchesFromTheResultList) {
  test::BoxCloser boxes;
  Form3 form(Main());
  form.show();
  form.activateWindow();

  Search(form, "smooth jazz");
  ASSERT_TRUE(Requested("smooth%20jazz"));
  EXPECT_EQ(Names(form), std::vector<std::string>{"Smooth Jazz Twee"});

  Search(form, "rock & roll");
  ASSERT_TRUE(Requested("rock%20%26%20roll"));
  EXPECT_EQ(Names(form), std::vector<std::string>{"Rock & Roll Radio"});

  Search(form, "Q+ #1 100%");
  ASSERT_TRUE(Requested("Q%2B%20%231%20100%25"));
  EXPECT_EQ(Names(form), std::vector<std::string>{"Q+ #1 100% Hits"});
  EXPECT_EQ(form.List2.items(), std::vector<std::string>{Url(605)});

  // With a result line in focus, Enter searches again rather than plays.
  form.Text1->setText("rock");
  form.List1->setFocus();
  form.List1->setCurrentRow(0);
  PressReturn(form.List1);
  ASSERT_TRUE(Requested("rock"));
  EXPECT_EQ(Names(form), (std::vector<std::string>{"Rock & Roll Radio", "Rock Classics"}));
  EXPECT_EQ(player_.URL(), "");

  Search(form, "zzzz");
  ASSERT_TRUE(Requested("zzzz"));
  EXPECT_EQ(form.List1->count(), 0);
  EXPECT_EQ(form.List2.ListCount(), 0);
  form.Command1->click();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, Text("error5"));
}

// Our directory cleans such answers; another server may not.
TEST_F(Form3Test, ANameWithoutAddressCannotBePlayed) {
  test::BoxCloser boxes;
  const std::string body = "<naam>Doubled <naam>Echo</naam><url>" + Url(606) + "</url>\n";
  test::CannedServer other("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                           "\r\nConnection: close\r\n\r\n" + body);
  Form1& main = MakeMain(other.address());
  Form3 form(main);
  form.show();
  form.LaadLijst_Zoek("doubled");
  EXPECT_EQ(Names(form), (std::vector<std::string>{"Doubled <naam>Echo", "Echo"}));
  EXPECT_EQ(form.List2.items(), std::vector<std::string>{Url(606)});
  const QString shown = main.ZenderNaam->text();
  form.List1->setCurrentRow(1);
  form.Command1->click();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, Text("error5"));
  EXPECT_EQ(main.ZenderNaam->text(), shown);
  EXPECT_EQ(player_.URL(), "");

  form.List1->setCurrentRow(0);
  form.Command1->click();
  EXPECT_EQ(player_.URL(), Url(606));
  player_.close();
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, "Doubled <naam>Echo" + Text("error6"));  // shown as text, not markup
}

TEST_F(Form3Test, AFailedSearchShowsItsErrorBox) {
  test::BoxCloser boxes;
  Form1& main = MakeMain("http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/");
  main.Timer1.stop();
  Form3 form(main);
  form.show();
  form.LaadLijst_Zoek("jazz");
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, Text("error8"));
  EXPECT_EQ(boxes.boxes[0].title, Text("error0"));
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(form.List1->count(), 0);
  EXPECT_TRUE(form.isVisible());
}

}  // namespace
}  // namespace vandrel
