#include "dialogs/Form3.h"

#include <QTest>

#include "support/ProgramFolderFixture.h"
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

class Form3Test : public test::ProgramFolderFixture {
 protected:
  static void SetUpTestSuite() {
    served_ = new test::ServedData(
        {{"radio/inter/zenders/holland.txt", Station("Thuis", 600)},
         {"radio/inter/zenders/jazz.txt", Station("Jazz Een", 601) + Station("Smooth Jazz Twee", 602)},
         {"radio/inter/zenders/rock.txt",
          Station("Rock & Roll Radio", 603) + Station("Rock Classics", 604)}});
  }
  static void TearDownTestSuite() { delete served_; }

  const test::DirectoryServerProcess& Server() const { return *served_->server; }
  std::string Url(int s) const { return Server().baseAddress() + "stream/tone?seconds=" + std::to_string(s); }

  // Searches as the user does: the word, then Enter in the search field.
  void Search(Form3& form, const std::string& word) {
    form.Text1->setText(QString::fromStdString(word));
    form.Text1->setFocus();
    QTest::keyClick(form.Text1, Qt::Key_Return);
  }
  bool Requested(const std::string& rawWord) const {
    return test::WaitUntil([&] { return test::Requests(Server(), kSearch + rawWord) > 0; }, 5s);
  }

  static inline test::ServedData* served_ = nullptr;
};

// The word is encoded by SearchAddress; one goes through the window end to end.
TEST_F(Form3Test, AWordReachesTheServerAndAHitNotTheHintLinePlaysWithTheDialogLeftOpen) {
  test::BoxCloser boxes;
  Form1& main = Open(Server().baseAddress(), "Thuis");
  Form3 form(main);
  EXPECT_EQ(Names(form.List1Box), std::vector<std::string>{Text("f3list1")});
  form.show();
  form.List1->setCurrentRow(0);
  form.Command1->click();
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{Text("error5")});
  EXPECT_EQ(player_.URL(), "");
  test::Pump(200ms);
  EXPECT_EQ(Server().log().find("radio-lijst-zoek"), std::string::npos) << Server().log();  // nothing searched

  Search(form, "rock & roll");
  ASSERT_TRUE(Requested("rock%20%26%20roll"));
  EXPECT_EQ(Names(form.List1Box), std::vector<std::string>{"Rock & Roll Radio"});

  // With a result line in focus, Enter searches again rather than plays.
  form.Text1->setText("jazz");
  form.List1->setFocus();
  form.List1->setCurrentRow(0);
  QTest::keyClick(form.List1, Qt::Key_Return);
  ASSERT_TRUE(Requested("jazz"));
  EXPECT_EQ(Names(form.List1Box), (std::vector<std::string>{"Jazz Een", "Smooth Jazz Twee"}));
  EXPECT_EQ(form.List2.items(), (std::vector<std::string>{Url(601), Url(602)}));
  EXPECT_EQ(player_.URL(), "");
  form.List1->setCurrentRow(1);
  form.Command1->click();
  EXPECT_EQ(player_.URL(), Url(602));
  EXPECT_EQ(main.ZenderNaam->text(), "Smooth Jazz Twee");
  EXPECT_EQ(main.RadioUrl(), "127.0.0.1:" + std::to_string(Server().port()));
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{Text("error5"), "Smooth Jazz Twee" + Text("error6")}));
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
  Form1& main = Open(other.address());
  Form3 form(main);
  form.show();
  form.LaadLijst_Zoek("doubled");
  EXPECT_EQ(Names(form.List1Box), (std::vector<std::string>{"Doubled <naam>Echo", "Echo"}));
  const QString shown = main.ZenderNaam->text();
  form.List1->setCurrentRow(1);
  form.Command1->click();
  EXPECT_EQ(main.ZenderNaam->text(), shown);
  EXPECT_EQ(player_.URL(), "");

  form.List1->setCurrentRow(0);
  form.Command1->click();
  EXPECT_EQ(player_.URL(), Url(606));
  // Shown as text, not markup.
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{Text("error5"), "Doubled <naam>Echo" + Text("error6")}));
}

}  // namespace
}  // namespace vandrel
