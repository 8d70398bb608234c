#include "dialogs/Form2.h"
#include "dialogs/Form3.h"

#include <QTest>
#include <optional>

#include "support/BoxCloser.h"
#include "support/CannedServer.h"
#include "support/ProgramFolderFixture.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;
using test::Names;

std::string Station(const std::string& name, int seconds) {
  return "<naam>" + name + "</naam><url>{{base}}stream/tone?seconds=" + std::to_string(seconds) + "</url>\n";
}

using DirectoryDialogsTest = test::ProgramFolderFixture;  // Form2 chooses a country, Form3 searches

// Form2 hands over only a name with a list file; Form3 plays a hit, not the hint line; its error follows the success box.
TEST_F(DirectoryDialogsTest, EachDialogHandsOverWhatWasChosenAndAFailedHitIsNeverCalledPlaying) {
  // The country list's third name has no list file; its second keeps its blanks.
  const test::ServedData served(
      {{"radio/inter/keuze-uk.txt", "<naam>Een</naam><bestand>een.txt</bestand>\n"
                                    "<naam> Twee  Land </naam><bestand>twee.txt</bestand>\n<naam>Drie</naam>\n"},
       {"radio/inter/zenders/holland.txt", Station("Thuis", 600)},
       {"radio/inter/zenders/twee.txt", Station("Tweede", 605)},
       {"radio/inter/zenders/rock.txt", Station("Rock & Roll Radio", 603) + Station("Rock & Roll Twee", 604)},
       {"radio/inter/zenders/dood.txt", "<naam>Dood Gone</naam><url>{{base}}gone</url>\n"
                                        "<naam>Dood File</naam><url>file:///etc/hostname</url>\n"}});
  const test::DirectoryServerProcess& server = *served.server;
  std::optional<test::BoxCloser> boxes(std::in_place);
  const auto choose = [](auto& dialog, int row) { dialog.List1->setCurrentRow(row), dialog.Command1->click(); };
  Form1& main = Open(server.baseAddress(), "Thuis");
  Form2 cancelled(main.directoryPorts(), &main);
  cancelled.List1->setCurrentRow(1), cancelled.Command2->click();
  Form2 form(main.directoryPorts(), &main);
  form.show();
  EXPECT_EQ(Names(form.List1Box), (Texts{"Een", " Twee  Land ", "Drie"}));
  form.Command1->click();  // nothing selected
  choose(form, 2);  // no list file
  EXPECT_EQ(main.TaalGeselecteerd(), "holland.txt");
  EXPECT_TRUE(form.isVisible());
  choose(form, 1);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(main.TaalGeselecteerdTekst->text(), " Twee  Land ");
  ASSERT_TRUE(test::WaitUntil([&] { return main.List1Box.List(0) == "Tweede"; }, 5s));
  EXPECT_EQ(main.List1->count(), 1);

  Form3 search(main.directoryPorts(), &main);
  search.show();
  choose(search, 0);  // the hint line
  search.Text1->setText("rock & roll");  // with a line in focus, Enter searches rather than plays
  search.List1->setFocus();
  QTest::keyClick(search.List1, Qt::Key_Return);
  const std::string request = "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=rock%20%26%20roll";
  ASSERT_TRUE(test::WaitUntil([&] { return server.log().find("GET " + request + " ") != std::string::npos; }, 5s));
  EXPECT_EQ(Names(search.List1Box), (Texts{"Rock & Roll Radio", "Rock & Roll Twee"}));
  choose(search, 1);
  EXPECT_EQ(player_.URL(), server.baseAddress() + "stream/tone?seconds=604");
  EXPECT_EQ(main.ZenderNaam->text().toStdString() + " " + main.RadioUrl(),
            "Rock & Roll Twee 127.0.0.1:" + std::to_string(server.port()));
  EXPECT_TRUE(search.isVisible());
  EXPECT_EQ(boxes->Texts(), (Texts{Text("error2"), Text("error2"), " Twee  Land " + Text("error3"), Text("error5"),
                                   "Rock & Roll Twee" + Text("error6")}));

  boxes.emplace(1s);  // a reader still at the success box when the error comes
  search.LaadLijst_Zoek("dood");
  ASSERT_EQ(Names(search.List1Box), (Texts{"Dood Gone", "Dood File"}));
  for (const int row : {0, 1}) {
    choose(search, row);
    ASSERT_TRUE(test::WaitUntil([&] { return boxes->Texts().size() == (row == 0 ? 2u : 3u); }, 15s));
  }
  test::Pump(300ms);
  EXPECT_EQ(boxes->Texts(), (Texts{"Dood Gone" + Text("error6"), Text("error18"), Text("error18")}));
  EXPECT_EQ(boxes->details, (Texts{"", "HTTP 404", "not a web radio address"}));
  EXPECT_FALSE(search.NoHits->isVisible());
  search.LaadLijst_Zoek("zzzz");  // no hits: the list stays empty and the dialog says so
  EXPECT_TRUE(search.List1->count() == 0 && search.NoHits->isVisible() && search.NoHits->text().toStdString() == Text("xnohits"));
}

// The failure is the dialog's own: no exception reaches the opener.
TEST_F(DirectoryDialogsTest, OnADeadServerEachDirectoryDialogShowsItsOwnBoxAndStaysOpen) {
  test::BoxCloser boxes;
  Form1& main = Open("http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/");
  main.Timer1.stop();
  Form2 countries(main.directoryPorts(), &main);
  Form3 search(main.directoryPorts(), &main);
  search.show();
  search.LaadLijst_Zoek("jazz");
  EXPECT_EQ(boxes.Texts(), (Texts{Text("error4"), Text("error8")}));
  EXPECT_EQ(countries.List1->count() + search.List1->count(), 0);
  EXPECT_TRUE(search.isVisible() && !search.NoHits->isVisible());  // a failure is no empty answer
}

}  // namespace
}  // namespace vandrel
