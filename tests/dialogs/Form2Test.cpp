#include "dialogs/Form2.h"
#include "dialogs/Form3.h"

#include <QElapsedTimer>

#include "support/ProgramFolderFixture.h"
#include "support/BoxCloser.h"
#include "support/CannedServer.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;
using test::Names;

constexpr const char* kCountries = "/radio/inter/keuze-uk.txt";

class Form2Test : public test::ProgramFolderFixture {
 protected:
  // The third name has no list file; the second keeps its blanks.
  static void SetUpTestSuite() {
    served_ = new test::ServedData(
        {{"radio/inter/keuze-uk.txt", "<naam>Een</naam><bestand>een.txt</bestand>\n"
                                    "<naam> Twee  Land </naam><bestand>twee.txt</bestand>\n<naam>Drie</naam>\n"},
         {"radio/inter/zenders/holland.txt", "<naam>Thuis</naam><url>{{base}}stream/tone</url>\n"},
         {"radio/inter/zenders/twee.txt", "<naam>Tweede</naam><url>{{base}}stream/tone</url>\n"}});
  }
  static void TearDownTestSuite() { delete served_; }

  int CountryRequests() const { return test::Requests(*served_->server, kCountries); }

  static inline test::ServedData* served_ = nullptr;
};

TEST_F(Form2Test, CancelKeepsTheCountryAndOnlyANameWithAListFileIsHandedOverItsStationsFollowingLater) {
  test::BoxCloser boxes;
  Form1& main = Open(served_->server->baseAddress(), "Thuis");
  const int before = CountryRequests();
  {
    Form2 cancelled(main);
    cancelled.show();
    cancelled.List1->setCurrentRow(1);
    cancelled.Command2->click();
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
  }
  Form2 form(main);  // each opening downloads anew, with nothing selected
  EXPECT_TRUE(test::WaitUntil([&] { return CountryRequests() == before + 2; }, 5s));
  EXPECT_EQ(form.List1->selectedItems().size(), 0);
  form.show();
  EXPECT_EQ(Names(form.List1Box), (std::vector<std::string>{"Een", " Twee  Land ", "Drie"}));

  form.Command1->click();  // nothing selected
  form.List1->setCurrentRow(2);
  form.Command1->click();
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{Text("error2"), Text("error2")}));
  EXPECT_EQ(main.TaalGeselecteerdTekst->text(), "Holland");
  EXPECT_EQ(main.TaalGeselecteerd, "holland.txt");
  EXPECT_FALSE(main.Timer1.isActive());

  EXPECT_TRUE(form.isVisible());
  form.List1->setCurrentRow(1);
  QElapsedTimer clock;
  clock.start();
  form.Command1->click();
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(main.TaalGeselecteerdTekst->text(), " Twee  Land ");
  EXPECT_EQ(main.TaalGeselecteerd, "twee.txt");
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{Text("error2"), Text("error2"), " Twee  Land " + Text("error3")}));

  ASSERT_TRUE(test::WaitUntil([&] { return main.List1Box.List(0) == "Tweede"; }, 5s));
  EXPECT_GE(clock.elapsed(), 900);  // by the main window's list timer, not at once
  EXPECT_EQ(main.List1->count(), 1);
  EXPECT_EQ(boxes.boxes.size(), 3u);
}

TEST_F(Form2Test, OnADeadServerEachDirectoryDialogShowsItsOwnBoxAndStaysOpen) {
  test::BoxCloser boxes;
  Form1& main = Open("http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/");
  main.Timer1.stop();
  Form2 countries(main);  // the failure is the dialog's own: no exception reaches the opener
  EXPECT_EQ(countries.List1->count(), 0);
  countries.show();
  countries.Command1->click();

  Form3 search(main);
  search.show();
  search.LaadLijst_Zoek("jazz");
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{Text("error4"), Text("error2"), Text("error8")}));
  ASSERT_EQ(boxes.boxes.size(), 3u);
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(boxes.boxes[2].icon, QMessageBox::Critical);
  EXPECT_EQ(search.List1->count(), 0);
  EXPECT_TRUE(search.isVisible());
}

}  // namespace
}  // namespace vandrel
