#include "dialogs/Form3.h"

#include <QKeyEvent>

#include "dialogs/MainWindowFixture.h"
#include "support/BoxCloser.h"
#include "support/CannedServer.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;
using test::Names;

constexpr const char* kSearch = "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=";

std::string Station(const std::string& name, int seconds) {
  return "<naam>" + name + "</naam><url>{{base}}stream/tone?seconds=" + std::to_string(seconds) + "</url>\n";
}

void PressReturn(QWidget* widget) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

class Form3Test : public test::MainWindowFixture {
 protected:
  static void SetUpTestSuite() {
    served_ = new test::ServedData(
        {{"radio/inter/zenders/holland.txt", Station("Thuis", 600)},
         {"radio/inter/zenders/jazz.txt", Station("Jazz Een", 601) + Station("Smooth Jazz Twee", 602)},
         {"radio/inter/zenders/rock.txt",
          Station("Rock & Roll Radio", 603) + Station("Rock Classics", 604) + Station("Q+ #1 100% Hits", 605)}});
  }
  static void TearDownTestSuite() { delete served_; }

  const test::DirectoryServerProcess& Server() const { return *served_->server; }
  std::string Url(int s) const { return Server().baseAddress() + "stream/tone?seconds=" + std::to_string(s); }

  // Searches as the user does: the word, then Enter in the search field.
  void Search(Form3& form, const std::string& word) {
    form.Text1->setText(QString::fromStdString(word));
    form.Text1->setFocus();
    PressReturn(form.Text1);
  }
  bool Requested(const std::string& rawWord) const {
    return test::WaitUntil([&] { return test::Requests(Server(), kSearch + rawWord) > 0; }, 5s);
  }

  static inline test::ServedData* served_ = nullptr;
};

TEST_F(Form3Test, WordsReachTheServerAsTypedAndAHitNotTheHintLinePlaysWithTheDialogLeftOpen) {
  test::BoxCloser boxes;
  Form1& main = MakeMain(Server().baseAddress(), "Thuis");
  const std::size_t logged = Server().log().size();
  Form3 form(main);
  EXPECT_EQ(Names(form.List1Box), std::vector<std::string>{Text("f3list1")});
  form.show();
  form.List1->setCurrentRow(0);
  form.Command1->click();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, Text("error5"));
  EXPECT_EQ(player_.URL(), "");
  test::Pump(200ms);
  EXPECT_EQ(Server().log().size(), logged);  // nothing downloaded

  Search(form, "rock & roll");
  ASSERT_TRUE(Requested("rock%20%26%20roll"));
  EXPECT_EQ(Names(form.List1Box), std::vector<std::string>{"Rock & Roll Radio"});
  Search(form, "Q+ #1 100%");
  ASSERT_TRUE(Requested("Q%2B%20%231%20100%25"));
  EXPECT_EQ(Names(form.List1Box), std::vector<std::string>{"Q+ #1 100% Hits"});

  // With a result line in focus, Enter searches again rather than plays.
  form.Text1->setText("jazz");
  form.List1->setFocus();
  form.List1->setCurrentRow(0);
  PressReturn(form.List1);
  ASSERT_TRUE(Requested("jazz"));
  EXPECT_EQ(Names(form.List1Box), (std::vector<std::string>{"Jazz Een", "Smooth Jazz Twee"}));
  EXPECT_EQ(form.List2.items(), (std::vector<std::string>{Url(601), Url(602)}));
  EXPECT_EQ(player_.URL(), "");
  form.List1->setCurrentRow(1);
  form.Command1->click();
  EXPECT_EQ(player_.URL(), Url(602));
  EXPECT_EQ(main.ZenderNaam->text(), "Smooth Jazz Twee");
  EXPECT_EQ(main.RadioUrl(), "127.0.0.1:" + std::to_string(Server().port()));
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, "Smooth Jazz Twee" + Text("error6"));
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.List1->count(), 2);

  // Closing leaves the hit playing and the main window's own list as it was.
  form.Command2->click();
  EXPECT_EQ(form.result(), QDialog::Rejected);
  test::Pump(300ms);
  EXPECT_EQ(player_.URL(), Url(602));
  EXPECT_EQ(Names(main.List1Box), std::vector<std::string>{"Thuis"});
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
  EXPECT_EQ(Names(form.List1Box), (std::vector<std::string>{"Doubled <naam>Echo", "Echo"}));
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
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, "Doubled <naam>Echo" + Text("error6"));  // shown as text, not markup
}

}  // namespace
}  // namespace vandrel
