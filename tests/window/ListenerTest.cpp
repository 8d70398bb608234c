// What the window offers once a station plays: own stations, keys, the song history, title notifications.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "dialogs/AlarmDialog.h"
#include "dialogs/HistoryWindow.h"
#include "dialogs/StationDialog.h"
#include "support/BoxCloser.h"
#include "support/ChildProcess.h"
#include "support/Files.h"
#include "support/ProgramFolderFixture.h"
#include "stations/PlaylistFiles.h"
#include "window/Favourites.h"
#include "window/Form1Menus.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Acts on each dialog of the kind that opens, as a user would, until told it is done.
template <typename Dialog>
void WhenOpen(std::function<bool(Dialog&)> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget()); dialog && act(*dialog)) timer->deleteLater();
  });
  timer->start(30);
}

void WhenStationDialog(std::vector<std::pair<std::string, std::string>> tries) {
  WhenOpen<StationDialog>([tries = std::move(tries), i = std::size_t(0)](StationDialog& dialog) mutable {
    dialog.Text1->setText(QString::fromStdString(tries[i].first));
    dialog.Text2->setText(QString::fromStdString(tries[i].second));
    dialog.Command1->click();
    return ++i == tries.size();
  });
}

void Trigger(QMenu& menu, const char* name) {
  auto* item = menu.findChild<QAction*>(name);
  ASSERT_NE(item, nullptr) << name;
  item->trigger();
}

class ListenerTest : public test::ProgramFolderFixture {};

TEST_F(ListenerTest, OwnStationsAreAddedCheckedRenamedAndTheKeysWork) {
  Form1& form = Open(server_->baseAddress());
  test::BoxCloser boxes;
  const std::string tone = Tone(600);
  // A bad address and a bad name are said and kept in the dialog; the third try is kept and plays.
  WhenStationDialog({{"Mine", "file:///etc/passwd"}, {"a/b", tone}, {"  Mine  ", tone}});
  Trigger(form.menus().favouritesMenu(), "addstation");
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{Text("xbadaddress"), Text("xbadname")}));
  EXPECT_EQ(test::ReadFile(folder_ / "favo/Mine"), "[Internet]\nnaam=Mine\nurl=" + tone + "\n");
  EXPECT_EQ(player_.URL(), tone);
  EXPECT_EQ(form.ZenderNaam->text(), "Mine");
  // Renamed: the old file goes, the address stays; a name taken by another is kept unless the user says so.
  std::ofstream(folder_ / "favo/Other") << "[Internet]\nnaam=Other\nurl=http://other.example/\n";
  form.File1Box.Refresh();
  form.File1->setCurrentRow(0);  // "Mine", which plays it
  WhenStationDialog({{"Other", tone}});
  Trigger(form.menus().favouritesMenu(), "editstation");
  EXPECT_EQ(test::ReadFile(folder_ / "favo/Other"), "[Internet]\nnaam=Other\nurl=http://other.example/\n");
  EXPECT_TRUE(fs::exists(folder_ / "favo/Mine"));
  WhenStationDialog({{"Yours", tone + "&x=1"}});
  Trigger(form.menus().favouritesMenu(), "editstation");
  EXPECT_EQ(test::Names(folder_ / "favo"), (std::vector<std::string>{"Other", "Yours"}));
  EXPECT_EQ(test::ReadFile(folder_ / "favo/Yours"), "[Internet]\nnaam=Yours\nurl=" + tone + "&x=1\n");
  form.File1->setCurrentRow(1);
  Trigger(form.menus().favouritesMenu(), "notifystation");
  EXPECT_EQ(ReadIni((folder_ / "favo/Yours").string(), "Internet", "melding"), "0");

  // An import asks before it replaces; what it took and left is said.
  boxes.boxes.clear();
  const auto list = folder_ / "in.m3u";
  std::ofstream(list) << "#EXTINF:-1,Other\nhttp://new.example/\n#EXTINF:-1,New\nhttps://new.example/\nnew.mp3\n";
  const FavouritePorts ports{form.controller(), form.File1Box, form.texts(), form.boxes(), &form};
  ImportFavourites(ports, list.string());
  EXPECT_EQ(boxes.Texts().back(), QString::fromStdString(Text("ximported")).arg(1).arg(2).toStdString());
  EXPECT_EQ(ReadIniWhole((folder_ / "favo/Other").string(), "Internet", "url"), "http://other.example/");
  const auto out = folder_ / "out.pls";
  ASSERT_TRUE(ExportFavourites(ports, out.string(), false));
  EXPECT_EQ(ReadPlaylist(test::ReadFile(out)).stations.size(), 3u);

  // Space stops and plays again, the volume keys step, M mutes and gives the volume back: in the active window.
  ASSERT_TRUE(test::WaitUntil([&] { return form.activateWindow(), form.isActiveWindow(); }, 5s));
  form.File1->setFocus();
  ASSERT_TRUE(test::WaitUntil([&] { return player_.state().activity == PlayState::Playing; }, 15s));
  const auto stopped = [&](QWidget* on) {
    return QTest::keyClick(on, Qt::Key_Space), player_.state().activity == PlayState::Stopped;
  };
  EXPECT_TRUE(stopped(form.File1));
  EXPECT_FALSE(stopped(form.File1));
  form.controller().setVolume(40);
  EXPECT_EQ((QTest::keyClick(&form, Qt::Key_Minus), form.Slider1->value()), 35);
  EXPECT_EQ((QTest::keyClick(&form, Qt::Key_M), player_.volume()), 0);
  EXPECT_EQ((QTest::keyClick(&form, Qt::Key_M), player_.volume()), 35);
  // A button with the focus takes Space for itself.
  form.Command3->setFocus();
  form.File1->setCurrentRow(1);
  EXPECT_TRUE(stopped(form.Command3));
  EXPECT_NE(form.menus().shortcutsText().indexOf(QString::fromStdString(Text("xmute"))), -1);
  // The tray shows what the sleep timer has left; one click cancels it.
  form.menus().sleepMenu().actions().front()->trigger();
  EXPECT_TRUE(form.menus().sleepCancel->isVisible());
  EXPECT_TRUE(form.menus().sleepCancel->text().contains("14:5") || form.menus().sleepCancel->text().contains("15:00"));
  form.menus().sleepCancel->trigger();
  EXPECT_FALSE(form.menus().sleepCancel->isVisible());
  WhenOpen<AlarmDialog>([](AlarmDialog& d) {
    d.Check1->setChecked(true), d.Time1->setTime(QTime(6, 30)), d.Days[0]->setChecked(false);
    return d.Combo1->setCurrentText("Yours"), d.Check2->setChecked(false), d.Command1->click(), true;
  });
  Trigger(form.IconTray, "alarm");
  EXPECT_EQ(Get("Online Radio", "wekker"), "1,6,30,30,Yours");
}

// Titles go into the history, kept across starts, and to the session bus's notification service, markup escaped.
TEST_F(ListenerTest, EachTitleIsKeptInTheHistoryAndSaidByTheDesktop) {
  test::TempFolder logs("notifications");
  const std::string log = (logs / "log").string();
  test::ChildProcess service({VANDREL_NOTIFICATION_SERVICE}, log);
  ASSERT_TRUE(test::WaitUntil([&] { return test::ReadFile(log).starts_with("ready\n"); }, 5s)) << test::ReadFile(log);
  std::ofstream(folder_ / "favo/Quiet") << "[Internet]\nnaam=Quiet\nurl=x\nmelding=0\n";
  Form1& form = Start();  // in the notification area: no window in front
  ASSERT_TRUE(StartedUp());
  form.controller().station().playNamed("Quiet", Tone(602));
  ASSERT_TRUE(test::WaitUntil([&] { return form.menus().songLog().history().songs().size() == 1; }, 15s));
  form.controller().station().playNamed("R&B <b>1</b>", Tone(600));
  const std::string title = "Vandrel test tone - 440 Hz";
  ASSERT_TRUE(test::WaitUntil([&] { return test::ReadFile(log).find(title) != std::string::npos; }, 15s));
  EXPECT_EQ(test::ReadFile(log), "ready\n1\t0\torg.vandrel.Radio\t" + title + "\tR&amp;B &lt;b&gt;1&lt;/b&gt;\n");
  HistoryWindow& history = form.menus().showHistory();
  ASSERT_EQ(history.List1->topLevelItemCount(), 2);
  EXPECT_EQ(history.List1->topLevelItem(0)->text(1).toStdString(), "R&B <b>1</b>");
  history.Command1->click();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), title);
  EXPECT_EQ(LookUpAddress(title), "https://duckduckgo.com/?q=Vandrel%20test%20tone%20-%20440%20Hz");
  // Switched off: the setting is kept and the next title is not said.
  Trigger(form.IconTray, "notify");
  EXPECT_EQ(Get("Online Radio", "meldingen"), "0");
  form_.reset();
  Form1& next = Start();
  ASSERT_TRUE(StartedUp());
  EXPECT_EQ(next.menus().songLog().history().songs().back().station, "R&B <b>1</b>");
  next.controller().station().playNamed("Other", Tone(601));
  ASSERT_TRUE(test::WaitUntil([&] { return next.menus().songLog().history().songs().size() == 3; }, 15s));
  test::Pump(300ms);
  EXPECT_EQ(std::ranges::count(test::ReadFile(log), '\n'), 2);
}

}  // namespace
}  // namespace vandrel
