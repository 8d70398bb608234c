#include "platform/TrayIcon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <cstdlib>

#include "support/BoxCloser.h"
#include "support/ProgramFolderFixture.h"

// Runs on a display of its own with a notification-area host (trayer).
namespace vandrel {
namespace {

using namespace std::chrono_literals;

// The host comes from tests/support/with-tray-host.sh, as CTest runs it; alone,
// the binary has none to test against and says so.
class TrayHostWrapper : public ::testing::Environment {
  void SetUp() override {
    if (std::getenv("VANDREL_TRAY_HOST") == nullptr) GTEST_SKIP() << "run through tests/support/with-tray-host.sh";
  }
};
[[maybe_unused]] const auto* const kTrayHostWrapper = ::testing::AddGlobalTestEnvironment(new TrayHostWrapper);

bool TrayHostRunning() { return test::WaitUntil([] { return TrayIcon::Available(); }, 10s); }

// The widgets the platform embeds in the notification area, one an icon.
QList<QWidget*> ShownIcons() {
  QList<QWidget*> shown;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && QByteArray(widget->metaObject()->className()) == "QSystemTrayIconSys") shown << widget;
  }
  return shown;
}

void Press(QWidget* widget, Qt::MouseButton button, QEvent::Type type = QEvent::MouseButtonPress) {
  const QPointF at(4, 4);
  QMouseEvent event(type, at, widget->mapToGlobal(at), button, button, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void SaveScreen(const char* name) {
  test::Pump(std::chrono::milliseconds(400));  // let the host and the menu paint
  test::SaveScreenshot(QApplication::primaryScreen()->grabWindow(0).toImage(), name);
}

TEST(TrayIconTest, ShowsOneIconWithItsTipAndReportsThePresses) {
  ASSERT_TRUE(TrayHostRunning());
  const QIcon icon(":/icons/vandrel-radio.svg");
  ASSERT_FALSE(icon.isNull());
  TrayIcon tray;
  tray.setScreenTip(QString(63, 'a') + QString(7, 'b'));
  tray.Add(icon);
  ASSERT_TRUE(test::WaitUntil([] { return ShownIcons().size() == 1; }, 5s));
  tray.setScreenTip("Nieuw");  // shown only from the next Add
  tray.Add(icon);
  test::Pump(200ms);
  ASSERT_EQ(ShownIcons().size(), 1);
  EXPECT_EQ(tray.shownTip(), QString(63, 'a'));

  // One event each; a double click is no click as well, the middle button nothing.
  QSignalSpy clicks(&tray, &TrayIcon::Click);
  QSignalSpy doubles(&tray, &TrayIcon::DblClick);
  QSignalSpy rights(&tray, &TrayIcon::RightClick);
  QWidget* shown = ShownIcons().front();
  Press(shown, Qt::LeftButton);
  Press(shown, Qt::LeftButton, QEvent::MouseButtonDblClick);
  Press(shown, Qt::RightButton);
  Press(shown, Qt::MiddleButton);
  EXPECT_EQ(std::vector<qsizetype>({clicks.count(), doubles.count(), rights.count()}), std::vector<qsizetype>(3, 1));

  tray.Remove();
  ASSERT_TRUE(test::WaitUntil([] { return ShownIcons().empty(); }, 5s));
  tray.Add(icon);
  EXPECT_EQ(tray.shownTip(), "Nieuw");
  tray.Remove();
}

struct TrayWindowTest : test::ProgramFolderFixture {
  void SetUp() override { ASSERT_TRUE(TrayHostRunning()); }
};

// Started hidden, playing from the tray; the close box saves and hides to it
// while playing goes on; the menu's "Close" ends the program.
TEST_F(TrayWindowTest, StartsInTheTrayTheCloseBoxHidesToItWhilePlayingGoesOnAndCloseEnds) {
  Set("Online Radio", "grootscherm", "0");
  Set("Online Radio", "afspelen", "1");
  Set("Onthouden", "LaatsteURL", Tone(600));
  Set("Onthouden", "LaatsteNAAM", "Toon");
  test::BoxCloser boxes;
  Form1& form = Start();
  ASSERT_TRUE(StartedUp());
  ASSERT_TRUE(test::WaitUntil([] { return ShownIcons().size() == 1; }, 5s));
  ASSERT_TRUE(test::WaitUntil([&] { return form.Label14->text().startsWith("Playing"); }, 20s));
  EXPECT_FALSE(form.isVisible());
  SaveScreen("tray-icon.png");
  EXPECT_FALSE(form.WebBrowser1->hasEngine());  // nobody sees the web panel: it costs nothing

  auto shows = [&](const char* text) { return test::WaitUntil([&] { return form.WebBrowser1->shownText().contains(text); }, 20s); };
  Press(ShownIcons().front(), Qt::LeftButton);
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.TrayIcon1.isShown());
  ASSERT_TRUE(shows("Holland")) << form.WebBrowser1->shownText().toStdString();

  // Hidden, the engine goes; shown again, it is back on the page it showed.
  form.Label5_Click();
  ASSERT_TRUE(shows("About Vandrel"));
  form.Slider1->setValue(42);
  EXPECT_FALSE(form.close());
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.TrayIcon1.isShown());
  EXPECT_EQ(Get("Onthouden", "Volume"), "42");  // what is saved is Form1Test's
  EXPECT_TRUE(test::WaitUntil([&] { return !form.WebBrowser1->hasEngine(); }, 5s));
  test::Pump(500ms);
  EXPECT_TRUE(form.Label14->text().startsWith("Playing"));
  form.open->trigger();
  ASSERT_TRUE(test::WaitUntil([&] { return form.WebBrowser1->hasEngine(); }, 5s));
  ASSERT_TRUE(shows("About Vandrel"));

  // The right press opens the menu; its "Stop Playing" stops, the icon stays.
  form.close();
  ASSERT_TRUE(test::WaitUntil([] { return ShownIcons().size() == 1; }, 5s));
  Press(ShownIcons().front(), Qt::RightButton);
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

class LateTrayTest : public test::ProgramFolderFixture {};

// Started into a notification area that comes later: hidden until the icon shows.
TEST_F(LateTrayTest, AStartIntoTheTrayWaitsForALateNotificationArea) {
  ASSERT_FALSE(TrayIcon::Available()) << "the host must start after the program";
  Set("Online Radio", "grootscherm", "0");
  test::BoxCloser boxes;
  Form1& form = Start();
  ASSERT_TRUE(StartedUp());
  ASSERT_TRUE(test::WaitUntil([] { return ShownIcons().size() == 1; }, 10s));
  test::Pump(300ms);
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.TrayIcon1.isShown());
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace vandrel
