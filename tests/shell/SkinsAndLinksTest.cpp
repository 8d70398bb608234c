#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "core/BrowserLinks.h"
#include "platform/HtmlView.h"
#include "shell/SkinPicture.h"
#include "support/BoxCloser.h"
#include "support/CannedServer.h"
#include "support/Memory.h"
#include "support/ProgramFolderFixture.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct FakeLauncher : Launcher {
  void open(const std::string& address) override { opened.push_back(address); if (fail) throw LaunchError("no browser"); }
  std::vector<std::string> opened;
  bool fail = false;
};

void Click(QWidget* widget, QPoint at = QPoint(3, 3)) { QTest::mouseClick(widget, Qt::LeftButton, {}, at); }

class SkinsAndLinksTest : public test::ProgramFolderFixture {
 protected:
  SkinsAndLinksTest() { launcher_ = &launcher; }
  bool ShowsText(const std::string& text) {
    return test::WaitUntil([&] { return form_->WebBrowser1->shownText().contains(QString::fromStdString(text)); }, 20s);
  }
  FakeLauncher launcher;
};

// Hostile pages: too deep, endless, slow to parse; labels open skinned dialogs or the browser, "Volume:" mutes.
TEST_F(SkinsAndLinksTest, ThePanelAndEachLinkLeadWhereTheySayAndHostilePagesGiveTheErrorPage) {
  test::BoxCloser boxes;
  Form1& form = Open("");
  ASSERT_TRUE(ShowsText("Holland")) << form.WebBrowser1->shownText().toStdString();
  const std::string home = form.WebBrowser1->shownAddress();
  const std::string html = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n";
  test::CannedServer deep(html + "\r\n", "<span>", 25000),
      // At 64 MB/s, a fast line's pace: at loopback's, Qt's read-ahead cap, set just after the request starts, is
      // outrun by tens of MB whenever the window's thread loses the processor in between.
      endless(html + "Transfer-Encoding: chunked\r\n\r\n", "10000\r\n" + std::string(65536, 'x') + "\r\n", 0, false, 1ms),
      // Small and shallow to the estimate; gigabytes of tree (PageShapeTest).
      runaway(html + "\r\n",
              "<template><table><template><table><button><table><template><b><div><tbody></div><caption><nobr>"
              "<option><body><li><table><html><nobr><i><template></select></a><col></td><a><textarea></table>"
              "<caption><nobr><optgroup><select></p><div></svg></td>",
              200);
  const std::string error = "about:" + Text("error1");
  const auto refused = [&](const std::string& address) {
    form.WebBrowser1->Navigate(address);
    return test::WaitUntil([&] { return form.WebBrowser1->LocationURL() == error; }, 10s) && ShowsText(Text("error1"));
  };
  for (const test::CannedServer* page : {&deep, &endless, &runaway}) {
    test::ResetPeakResident();
    const long before = test::StatusKiB("VmRSS:");
    test::LoopGap gap(20ms);
    gap.start();
    EXPECT_TRUE(refused(page->address())) << page->address();
    EXPECT_LT(gap.longest(), 1s) << page->address();
    EXPECT_LT(test::StatusKiB("VmHWM:") - before, 32 * 1024) << page->address();  // a refused page holds a few hundred KiB
  }

  const std::string about = server_->baseAddress() + "radio/inter/website/index.php?wat=about";
  form.WebBrowser1->Navigate(home);
  ASSERT_TRUE(ShowsText("Holland"));
  HtmlView* view = form.WebBrowser1->view();
  const QRect link = view->linkRect("index.php?wat=about");
  ASSERT_FALSE(link.isEmpty());
  Click(view->viewport(), link.center());
  ASSERT_TRUE(ShowsText("About Vandrel Internet Radio"));
  EXPECT_EQ(form.WebBrowser1->shownAddress(), about);
  view->followLink("file:///etc/hostname");
  test::Pump(300ms);
  EXPECT_EQ(view->url().scheme(), "http");

  // No server, an HTTP error and a server that never answers (within a whole load's deadline) give it too.
  test::CannedServer silent("");
  for (const std::string& address : {"http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/",
                                     server_->baseAddress() + "nothing/", silent.address()}) {
    if (address == silent.address()) form.WebBrowser1->setAnswerTimeout(1500);
    EXPECT_TRUE(refused(address)) << address;
  }
  test::SaveScreenshot(form, "form1-error.png");
  Click(form.Label5);  // the information page leads away from it
  EXPECT_EQ(form.WebBrowser1->LocationURL(), about);
  EXPECT_TRUE(ShowsText("About Vandrel Internet Radio"));

  ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() > 1; }, 10s));
  for (const auto& [label, dialog] : std::initializer_list<std::pair<QWidget*, std::string>>{
           {form.Label1, "Form2"}, {form.TaalGeselecteerdTekst, "Form2"}, {form.Label12, "Form3"}, {form.Label4, "Form4"}}) {
    std::string opened;  // the class, and whether it shows its skin; polled, as its download runs before it shows
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (auto* shown = qobject_cast<QDialog*>(QApplication::activeModalWidget()); shown && !qobject_cast<QMessageBox*>(shown)) {
        const auto* skin = shown->findChild<QLabel*>("Image2", Qt::FindDirectChildrenOnly);
        opened = shown->metaObject()->className() + std::string(skin && !skin->pixmap().isNull() ? " skinned" : "");
        watch.stop(), shown->reject();
      }
    });
    watch.start(50);
    Click(label);
    EXPECT_EQ(opened, "vandrel::" + dialog + " skinned");
  }

  for (QWidget* link : std::initializer_list<QWidget*>{form.Label3, form.Image4, form.Image3}) Click(link);  // no station yet
  // Refused addresses are BrowserLinksTest's; a refused one and a failing browser give the box.
  for (const char* site : {"", "javascript:alert(1)", "een.example/"}) {  // none leads nowhere; then a failing browser
    form.controller().station().play({"", "", site});
    Click(form.Label3), launcher.fail = true;
  }
  EXPECT_EQ(launcher.opened, (std::vector<std::string>{server_->baseAddress(), server_->baseAddress() + "ecards/",
                                                       kProjectHomePage, "http://een.example/"}));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, Text("error12")));  // and no other box before

  form.controller().setVolume(50);
  Click(form.Label9);  // "Volume:" mutes; that playing goes on is Form1Test's
  EXPECT_EQ(player_.volume(), 0);
}

TEST_F(SkinsAndLinksTest, MissingSkinsLeaveTheProgramUsable) {
  fs::rename(folder_ / "def_head.skn", folder_ / "head.away");
  std::ofstream(folder_ / "def_balk1.skn", std::ios::trunc) << "not a picture";
  test::BoxCloser boxes;
  Form1& form = Open("");
  ASSERT_TRUE(test::WaitUntil([&] { return boxes.boxes.size() >= 2; }, 5s));  // asked again every 500 ms
  EXPECT_EQ(boxes.boxes, std::vector<std::string>(boxes.boxes.size(), Text("error16")));
  ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() > 1; }, 10s));
  fs::rename(folder_ / "head.away", folder_ / "def_head.skn");
  // Once the timer that asks again stops, no box follows; a broken dialog skin gives the box instead of the dialog.
  ASSERT_TRUE(test::WaitUntil([&] { return !form.Timer2.isActive() && !form.Image1->pixmap().isNull(); }, 5s));
  const auto shown = boxes.boxes.size();
  Click(form.Label4);
  EXPECT_EQ(boxes.boxes.size(), shown + 1);
  EXPECT_EQ(boxes.boxes.back(), Text("error12"));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// Under a dark palette a shipped skin gives way to its dark variant; one the user changed, or one alone, stays.
TEST_F(SkinsAndLinksTest, ADarkPaletteShowsTheDarkVariantsOfTheShippedSkinsOnly) {
  std::ofstream(folder_ / "def_balk1.skn", std::ios::app) << "<!-- mine -->";
  fs::remove(folder_ / "def_frame1-dark.skn");
  for (const auto& [name, dark, shown] : {std::tuple{"head.skn", false, "head.skn"}, {"head.skn", true, "head-dark.skn"},
                                          {"balk1.skn", true, "balk1.skn"}, {"frame1.skn", true, "frame1.skn"}}) {
    EXPECT_EQ(SkinFile(folder_.string(), name, dark), folder_.string() + "/def_" + shown) << name << dark;
  }
}

}  // namespace
}  // namespace vandrel
