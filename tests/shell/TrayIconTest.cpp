// Runs on a display of its own with a notification-area host (trayer), as tests/support/with-tray-host.sh gives it.
#include "platform/TrayIcon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <cstdlib>

#include "support/BoxCloser.h"
#include "support/ProgramFolderFixture.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;

struct TrayIconTest : test::ProgramFolderFixture {
  void SetUp() override { if (!std::getenv("VANDREL_TRAY_HOST")) GTEST_SKIP() << "run through with-tray-host.sh"; }
};
using LateTrayTest = TrayIconTest;

// The widgets the platform embeds in the notification area, one an icon.
QList<QWidget*> ShownIcons() {
  QList<QWidget*> all = QApplication::topLevelWidgets();
  all.removeIf([](QWidget* w) { return !w->isVisible() || QByteArray(w->metaObject()->className()) != "QSystemTrayIconSys"; });
  return all;
}
bool OneIcon(std::chrono::milliseconds limit = 5s) { return test::WaitUntil([] { return ShownIcons().size() == 1; }, limit); }

void Press(Qt::MouseButton button, QEvent::Type type = QEvent::MouseButtonPress) {
  QWidget* widget = ShownIcons().front();
  QMouseEvent event(type, QPointF(4, 4), widget->mapToGlobal(QPointF(4, 4)), button, button, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void SaveScreen(const char* name) {
  test::Pump(400ms);  // let the host and the menu paint
  test::SaveScreenshot(QApplication::primaryScreen()->grabWindow(0).toImage(), name);
}

TEST_F(TrayIconTest, ShowsOneIconWithItsTipAndReportsThePresses) {
  ASSERT_TRUE(test::WaitUntil([] { return TrayIcon::Available(); }, 10s));
  const QIcon icon(":/icons/vandrel-radio.svg");
  TrayIcon tray;
  tray.setScreenTip(QString(63, 'a') + QString(7, 'b'));
  tray.Add(icon);
  ASSERT_TRUE(OneIcon());
  tray.setScreenTip("Nieuw");  // shown only from the next Add
  tray.Add(icon);
  test::Pump(200ms);
  ASSERT_EQ(ShownIcons().size(), 1);
  EXPECT_EQ(tray.shownTip(), QString(63, 'a'));

  // One event each; a double click is no click as well, the middle button nothing.
  QSignalSpy clicks(&tray, &TrayIcon::Click), doubles(&tray, &TrayIcon::DblClick), rights(&tray, &TrayIcon::RightClick);
  Press(Qt::LeftButton), Press(Qt::LeftButton, QEvent::MouseButtonDblClick), Press(Qt::RightButton), Press(Qt::MiddleButton);
  EXPECT_EQ(std::vector<qsizetype>({clicks.count(), doubles.count(), rights.count()}), std::vector<qsizetype>(3, 1));

  tray.Remove();
  ASSERT_TRUE(test::WaitUntil([] { return ShownIcons().empty(); }, 5s));
  tray.Add(icon);
  EXPECT_EQ(tray.shownTip(), "Nieuw");
  tray.Remove();
}

// The web panel's engine goes while hidden; the menu's "Stop Playing" stops, its "Close" ends the program.
TEST_F(TrayIconTest, StartsInTheTrayTheCloseBoxHidesToItWhilePlayingGoesOnAndCloseEnds) {
  ASSERT_TRUE(test::WaitUntil([] { return TrayIcon::Available(); }, 10s));
  Set("Online Radio", "grootscherm", "0"), Set("Online Radio", "afspelen", "1");
  Set("Onthouden", "LaatsteURL", Tone(600)), Set("Onthouden", "LaatsteNAAM", "Toon");
  test::BoxCloser boxes;
  Form1& form = Start();
  ASSERT_TRUE(StartedUp());
  ASSERT_TRUE(OneIcon());
  const auto playing = [&] { return form.Label14->text().startsWith("Playing"); };
  ASSERT_TRUE(test::WaitUntil(playing, 20s));
  EXPECT_FALSE(form.isVisible());
  SaveScreen("tray-icon.png");
  EXPECT_FALSE(form.WebBrowser1->hasEngine());  // nobody sees the web panel: it costs nothing

  const auto shows = [&](const char* text) { return test::WaitUntil([&] { return form.WebBrowser1->shownText().contains(text); }, 20s); };
  Press(Qt::LeftButton);
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.TrayIcon1.isShown());
  ASSERT_TRUE(shows("Holland")) << form.WebBrowser1->shownText().toStdString();
  form.Label5_Click();
  ASSERT_TRUE(shows("About Vandrel"));
  form.Slider1->setValue(42);
  EXPECT_FALSE(form.close());
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.TrayIcon1.isShown());
  EXPECT_EQ(Get("Onthouden", "Volume"), "42");  // what is saved is Form1Test's
  EXPECT_TRUE(test::WaitUntil([&] { return !form.WebBrowser1->hasEngine(); }, 5s));
  test::Pump(500ms);
  EXPECT_TRUE(playing());
  form.open->trigger();
  ASSERT_TRUE(test::WaitUntil([&] { return form.WebBrowser1->hasEngine(); }, 5s));
  ASSERT_TRUE(shows("About Vandrel"));  // back on the page it showed

  form.close();
  ASSERT_TRUE(OneIcon());
  Press(Qt::RightButton);
  ASSERT_TRUE(test::WaitUntil([&] { return form.IconTray.isVisible(); }, 2s));
  SaveScreen("tray-menu.png");
  form.IconTray.hide();
  form.stopspelen->trigger();
  EXPECT_EQ(form.Label14->text(), "Stopped");
  EXPECT_TRUE(form.TrayIcon1.isShown());
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(ended_, 0);
  EXPECT_TRUE(boxes.boxes.empty());

  form.sluit->trigger();
  ASSERT_TRUE(test::WaitUntil([&] { return ended_ > 0; }, 2s));
  test::Pump(300ms);
  EXPECT_EQ(ended_, 1);
  EXPECT_FALSE(form.TrayIcon1.isShown());
}

// Started into a notification area that comes later: hidden until the icon shows.
TEST_F(LateTrayTest, AStartIntoTheTrayWaitsForALateNotificationArea) {
  ASSERT_FALSE(TrayIcon::Available()) << "the host must start after the program";
  Set("Online Radio", "grootscherm", "0");
  test::BoxCloser boxes;
  Form1& form = Start();
  ASSERT_TRUE(StartedUp());
  ASSERT_TRUE(OneIcon(10s));
  test::Pump(300ms);
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.TrayIcon1.isShown());
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace vandrel
