// The main window as started, on a display without a notification area.
#include "window/Form1.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>

#include <QTemporaryDir>
#include <QMessageBox>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/TrayIcon.h"
#include "support/BoxCloser.h"
#include "support/CannedServer.h"
#include "support/ProgramFolderFixture.h"
#include "support/ShownTip.h"
#include "support/TmpfsMount.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Names = std::vector<std::string>;

class Form1Test : public test::ProgramFolderFixture {
 protected:
  void ExpectBoxes(const test::BoxCloser& boxes, Names keys) const {
    for (std::string& key : keys) key = Text(key.c_str());
    EXPECT_EQ(boxes.Texts(), keys);
  }
  // A favourite added the way the program adds one: the shown name, the player's address.
  void Add(const std::string& name, const std::string& url) {
    form_->controller().station().restore(name);
    if (player_.URL() != url) form_->controller().station().open(url);
    form_->Command1->click();
  }
  void Choose(const std::string& name) {
    form_->File1->setCurrentItem(form_->File1->findItems(QString::fromStdString(name), Qt::MatchExactly).value(0));
  }
  Names Favourites() const {
    Names names;
    for (int i = 0; i < form_->File1->count(); ++i) names.push_back(form_->File1->item(i)->text().toStdString());
    return names;
  }
};

// No notification area: the window shows once the wait for one is over and its close box ends the program.
TEST_F(Form1Test, ClosingSavesInOneReplaceWhatTheNextStartResumes) {
  ASSERT_FALSE(TrayIcon::Available()) << "this display must have no notification area";
  Set("Online Radio", "grootscherm", "0");
  test::BoxCloser boxes;
  trayWait_ = 2500ms;
  Form1& form = Start();
  ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() > 1; }, 2s));
  EXPECT_FALSE(form.isVisible());  // waiting for a notification area that may come late
  EXPECT_EQ(player_.prepared, 0);
  ASSERT_TRUE(test::WaitUntil([&] { return form.isVisible(); }, 5s));
  form.showMinimized();
  form.open_Click();  // what a second start asks of the running one
  EXPECT_FALSE(form.isMinimized());

  const std::string longAddress = Tone(601) + "&pad=" + std::string(300, 'p');
  form.controller().station().playNamed("Zender \"één\" = twee", longAddress);
  form.Label9_Click();  // mutes
  form.controller().restoreCountry("België", "belgie.txt");
  ini_testing::SetRenameFunction([](const char* from, const char* to) {  // a second replace would be lost
    static int renames = 0;
    return ++renames == 1 ? ::rename(from, to) : -1;
  });
  EXPECT_TRUE(form.close());
  ini_testing::SetRenameFunction(nullptr);
  EXPECT_EQ(ended_, 1);
  EXPECT_TRUE(boxes.boxes.empty());

  // Without "afspelen" the next start shows the name and plays nothing.
  player_.setURL("");  // as in a new process
  Form1& next = Start();
  ASSERT_TRUE(StartedUp());
  EXPECT_EQ(player_.URL(), "");
  EXPECT_EQ(next.ZenderNaam->text() + " in " + next.TaalGeselecteerdTekst->text(), "Zender \"één\" = twee in België");
  EXPECT_EQ(player_.volume(), 0);
  EXPECT_EQ(next.controller().lastAddress(), longAddress);
  EXPECT_NE(Get("Windows", "Geometry"), "");
  ASSERT_TRUE(test::WaitUntil([&] { return server_->log().find("zenders/belgie.txt") != std::string::npos; }, 5s));
}

// Each failing step gives one box (an error page none; directory "": the server's); start-up goes on, asks no list again.
TEST_F(Form1Test, AFailingStartUpStepIsReportedOnce) {
  test::CannedServer page("HTTP/1.1 500 Oops\r\nContent-Length: 5\r\nConnection: close\r\n\r\noops!");
  const std::string closed = "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/";
  const struct { const char* volume; bool favourites; std::string directory; Names keys; int shown; } cases[] = {
      {"loud", true, "", {"error17"}, 50}, {"101", true, "", {"error17"}, 50}, {"20", true, closed, {"error10"}, 20},
      {"20", true, page.address(), {}, 20}, {"20", false, "", {"error17"}, 20}};  // last: the folder stays gone
  for (const auto& c : cases) {
    SCOPED_TRACE(c.volume + c.directory);
    Set("Onthouden", "Volume", c.volume);
    if (!c.favourites) fs::remove(folder_ / "favo");
    test::BoxCloser boxes;
    Form1& form = Start(c.directory);
    ASSERT_TRUE(StartedUp() && test::WaitUntil([&] { return !form.Timer1.isActive(); }, 5s));
    test::Pump(300ms);  // the sequence and the list run once
    ExpectBoxes(boxes, c.keys);
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_EQ(form.Slider1->value(), c.shown);
    EXPECT_EQ(form.File1Box.Path(), c.favourites ? (folder_ / "favo/").string() : "");
    EXPECT_EQ(form.List1->count() == 0, !c.directory.empty());
    form.List1Box.AddItem("stray");
    form.List1->setCurrentRow(form.List1->count() - 1);
    EXPECT_EQ(form.ZenderNaam->text().toStdString() + " " + player_.URL(), "stray ");
  }
}

// Clicks go through the window's hit test: the country label overlaps the Stop button.
TEST_F(Form1Test, KeysPlayEachStationPassedStopStopsAndADeadStreamGivesOneBoxThatHoldsNothingBack) {
  test::CannedServer dead("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  const std::string tone = "</naam><homepage>t</homepage><url>{{base}}stream/tone?seconds=60";
  const test::ServedData tones({{"radio/inter/zenders/holland.txt",
                                 "<naam>Toon 0" + tone + "0</url><naam>Toon 1" + tone + "1</url><naam>Toon 2" + tone +
                                     "2</url><naam>Dood</naam><url>" + dead.address() + "stream</url>"}});
  std::optional<test::BoxCloser> boxes(std::in_place);
  Form1& form = Start(tones.server->baseAddress());
  ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() == 4; }, 10s));
  EXPECT_GT(player_.prepared, 0);  // a shown list: a play is near
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.List1->setFocus();
  form.List1->setCurrentRow(0);
  for (const char* tone : {"601", "602"}) {
    QTest::keyClick(form.List1, Qt::Key_Down);
    EXPECT_EQ(player_.URL(), tones.server->baseAddress() + "stream/tone?seconds=" + tone);
  }
  EXPECT_EQ(form.ZenderNaam->text().toStdString() + " " + form.RadioUrl(), "Toon 2 t");
  // The whole status, however the label cuts it (WindowLayoutTest owns the cutting).
  ASSERT_TRUE(test::WaitUntil([&] { return test::ShownTip(form.Label14->toolTip()) == "Playing: Vandrel test tone - 440 Hz"; }, 20s))
      << form.Label14->text().toStdString();
  test::SaveScreenshot(form, "form1-playing.png");

  QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, form.Command3->geometry().center());
  EXPECT_EQ(form.Label14->text(), "Stopped");
  QTest::mouseClick(form.List1->viewport(), Qt::LeftButton, {},
                    form.List1->visualItemRect(form.List1->item(2)).center());
  ASSERT_TRUE(test::WaitUntil([&] { return form.Label14->text().startsWith("Playing"); }, 20s));
  EXPECT_TRUE(boxes->boxes.empty());

  // While the error box waits a station plays and is reconnected, and a further error adds no second box.
  boxes.emplace(8s);
  const auto boxOpen = [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; };
  QTest::keyClick(form.List1, Qt::Key_Down);
  ASSERT_TRUE(test::WaitUntil(boxOpen, 20s));
  form.controller().station().play({"Kort", Tone(2), ""});
  EXPECT_TRUE(test::WaitUntil([&] { return form.Label14->text() == "Playing: Vandrel test tone - 440 Hz"; }, 5s))
      << form.Label14->text().toStdString();
  EXPECT_TRUE(test::WaitUntil([&] { return form.Label14->text().startsWith("Reconnecting"); }, 5s));
  form.controller().station().play({"Dood", dead.address() + "stream", ""});
  EXPECT_TRUE(test::WaitUntil([&] { return form.Label14->text() == "Error: HTTP 404"; }, 5s));
  ASSERT_TRUE(boxOpen());
  test::SaveScreenshot(*QApplication::activeModalWidget(), "error-box-with-cause.png");
  ASSERT_TRUE(test::WaitUntil([&] { return !boxOpen(); }, 10s));
  test::Pump(500ms);
  ExpectBoxes(*boxes, {"error18"});
  EXPECT_EQ(boxes->details, Names{"HTTP 404"});
  EXPECT_EQ(player_.URL(), dead.address() + "stream");  // not stopped, not retried
}

// Only web radio reaches libmpv, whichever door an address comes through; no file near is opened or made.
TEST_F(Form1Test, AStationThatIsNoWebRadioOpensNothingAndSaysWhy) {
  const QTemporaryDir dir;  // no blank: a filter graph argument
  const std::string folder = dir.path().toStdString(), canary = folder + "/canary";
  std::ofstream(canary) << "secret\n";
  const int watch = ::inotify_init1(IN_NONBLOCK);
  ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_OPEN | IN_CREATE), 0);
  const std::string writer = "av://lavfi:sine,ametadata=mode=print:file=" + folder + "/written";
  test::CannedServer redirect("HTTP/1.1 302 Found\r\nLocation: file://" + canary +
                              "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  const std::string zenders = "radio/inter/zenders/", refused = "Error: not a web radio address";
  // The addresses themselves are StreamAddressTest's; here each door once: an address, or a file served with content.
  const struct { std::string address, served, status; } cases[] = {
      {writer, "", refused},
      {"file://" + canary, "", refused},
      {"file.m3u", "#EXTM3U\nfile://" + canary + "\n", refused},
      {redirect.address() + "stream", "", "Error"},
      {"hls.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:5\n#EXTINF:5,\nfile://" + canary + "\n#EXT-X-ENDLIST\n", refused},
      {"concat.txt", "ffconcat version 1.0\nfile file:" + canary + "\n", "Error: not an audio stream"},
      {"edl", "# mpv EDL v0\n" + canary + "\n", "Error"},
      // Its file, taken relative to the sheet, is not on the server.
      {"sheet.cue", "FILE \"" + canary + "\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", "Error: HTTP 404"}};
  std::map<std::string, std::string> files;
  for (const auto& c : cases) {
    const std::string address = c.served.empty() ? c.address : "{{base}}" + zenders + c.address;
    files[zenders + "holland.txt"] += "<naam>" + address + "</naam><url>" + address + "</url>\n";
    if (!c.served.empty()) files[zenders + c.address] = c.served;
  }
  const test::ServedData directory(files);
  test::BoxCloser boxes;
  Form1& form = Start(directory.server->baseAddress());
  form.show();
  ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() == static_cast<int>(std::size(cases)); }, 10s));
  for (int row = 0; row < form.List1->count(); ++row) {
    SCOPED_TRACE(cases[row].address);
    const std::size_t before = boxes.boxes.size();
    form.List1->setCurrentRow(row);
    ASSERT_TRUE(test::WaitUntil([&] { return boxes.boxes.size() > before; }, 20s)) << form.Label14->text().toStdString();
    test::Pump(200ms);
    EXPECT_EQ(boxes.boxes.size(), before + 1);
    EXPECT_EQ(form.Label14->text().toStdString(), cases[row].status);
  }
  alignas(inotify_event) char events[4096];
  EXPECT_LE(::read(watch, events, sizeof events), 0);
  ::close(watch);
  test::SaveScreenshot(form, "form1-not-web-radio.png");
}

// Refused names and unwritable files give the add's box and change nothing; on a nearly full disk a file is whole.
TEST_F(Form1Test, FavouritesAreStoredPlayedAndDeletedExactlyAndRefusedOrLostOnesChangeNothing) {
  const test::TmpfsMount disk(folder_ / "favo", "64k");
  Start().show();
  ASSERT_TRUE(StartedUp());
  test::BoxCloser boxes;
  std::ofstream(folder_ / "INST.INI", std::ios::trunc) << "[Onthouden]\nVolume=40\n";
  fs::create_directory(folder_ / "favo" / "Map");  // a folder stands where the file would go
  auto entries = [&] {  // the song history keeps what the tone played
    return std::count_if(fs::recursive_directory_iterator(folder_), {},
                         [](const fs::directory_entry& e) { return e.path().filename() != "history.txt"; });
  };
  const auto before = entries();
  // IsFavouriteFileName owns the refused names; here one, and two the file system refuses.
  for (const std::string& name : {std::string("../INST.INI"), std::string("Map"), std::string(250, 'x')}) Add(name, Tone(600));
  Add("", "");
  EXPECT_EQ(entries(), before);
  EXPECT_TRUE(fs::is_directory(folder_ / "favo" / "Map"));
  EXPECT_EQ(test::ReadFile(folder_ / "INST.INI"), "[Onthouden]\nVolume=40\n");
  // As right after start: the remembered name stands but the player has no address yet.
  Add("Onthouden", "");
  EXPECT_EQ(test::ReadFile(folder_ / "favo" / "Onthouden"), "[Internet]\nnaam=Onthouden\nurl=\n");
  std::ofstream(folder_ / "favo" / "notities.txt") << "just some notes\n";
  const std::string odd = "R\xC3\xA1" "dio \"Q\" 'K' \xE2\x98\x85 ?: *";
  Add(odd, Tone(601));
  Add("Radio Tien FM", Tone(600));
  EXPECT_EQ(test::ReadFile(folder_ / "favo" / odd), "[Internet]\nnaam=" + odd + "\nurl=" + Tone(601) + "\n");
  EXPECT_EQ(Favourites(), (Names{"notities.txt", "Onthouden", "Radio Tien FM", odd}));
  Choose(odd);
  EXPECT_EQ(form_->ZenderNaam->text().toStdString() + " " + player_.URL(), odd + " " + Tone(601));
  // Adding re-reads the list; that keeps the chosen line and plays nothing.
  Add("Nieuw", Tone(710));
  EXPECT_EQ(form_->File1Box.FileName(), odd);
  EXPECT_EQ(player_.URL(), Tone(710));
  Choose("notities.txt");
  EXPECT_EQ(form_->ZenderNaam->text().toStdString() + player_.URL(), "");
  Choose("Radio Tien FM");
  form_->Command2->click();
  EXPECT_EQ(Favourites(), (Names{"Nieuw", "notities.txt", "Onthouden", odd}));
  EXPECT_EQ(form_->File1Box.FileName(), "");
  EXPECT_EQ(player_.URL(), Tone(600));  // deleting stops nothing
  form_->Command2->click();             // with nothing selected it only asks
  // A favourite already deleted by another program just leaves the list.
  Choose("Nieuw");
  fs::remove(folder_ / "favo" / "Nieuw");
  form_->Command2->click();
  EXPECT_EQ(Favourites(), (Names{"notities.txt", "Onthouden", odd}));
  ExpectBoxes(boxes, {"error12", "error12", "error12", "error11", "error13"});

  if (!disk.mounted()) GTEST_SKIP() << "no right to mount a small file system";
  // Filled, then one page given back.
  for (std::ofstream filler(folder_ / "favo" / "filler"); filler << std::string(4096, 'x');) {}
  fs::resize_file(folder_ / "favo" / "filler", fs::file_size(folder_ / "favo" / "filler") / 4096 * 4096 - 4096);
  const std::string hits = ".977 The Hits Channel", stored = folder_ / "favo" / hits;
  const std::string longAddress = Tone(600) + "&pad=" + std::string(300, 'p');
  const std::string whole = "[Internet]\nnaam=" + hits + "\nurl=" + longAddress + "\n";
  Add(hits + " \n", longAddress);
  EXPECT_EQ(test::ReadFile(stored), whole);
  Add(hits, Tone(601)), Add("Radio Twee", Tone(602));  // no room left to replace it or add one
  EXPECT_EQ(test::ReadFile(stored), whole);
  EXPECT_EQ(test::Names(folder_ / "favo"), (Names{hits, "Map", "Onthouden", odd, "filler", "notities.txt"}));
  ExpectBoxes(boxes, {"error12", "error12", "error12", "error11", "error13", "error12", "error12"});
  Choose(hits);
  EXPECT_EQ(player_.URL(), longAddress);
}

}  // namespace
}  // namespace vandrel
