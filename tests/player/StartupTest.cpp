#include <gtest/gtest.h>

#include <filesystem>

#include "shell/TrayIcon.h"
#include "support/BoxCloser.h"
#include "support/ProgramFolderFixture.h"

// These run on a display without a notification area; the tray's own tests
// run on a display of their own with one.
namespace vandrel {
namespace {

using namespace std::chrono_literals;

class StartupTest : public test::ProgramFolderFixture {
 protected:
  void SetUp() override { ASSERT_FALSE(TrayIcon::Available()) << "this display must have no notification area"; }

  bool WaitForPlaying() {
    return test::WaitUntil([&] { return form_->Label14->text().startsWith("Playing"); }, 20s);
  }
};

TEST_F(StartupTest, ResumesTheLastStationCountryAndVolume) {
  Set("Online Radio", "afspelen", "1");
  Set("Onthouden", "LaatsteURL", Tone(600));
  Set("Onthouden", "LaatsteNAAM", "Toon");
  Set("Onthouden", "LaatsteLandNaam", "Nederland");
  Set("Onthouden", "Volume", "35");
  test::BoxCloser boxes;
  Form1& form = Start();
  EXPECT_FALSE(form.isVisible());  // hidden until the start-up sequence
  ASSERT_TRUE(test::WaitUntil([&] { return form.isVisible(); }, 2s));
  EXPECT_EQ(player_.URL(), Tone(600));
  EXPECT_EQ(form.ZenderNaam->text(), "Toon");
  EXPECT_EQ(form.TaalGeselecteerdTekst->text(), "Nederland");
  EXPECT_EQ(form.TaalGeselecteerd, "holland.txt");  // written as LaatsteLandbestand
  EXPECT_EQ(form.Slider1->value(), 35);
  EXPECT_EQ(player_.volume(), 35);
  EXPECT_EQ(form.File1Box.Path(), (folder_ / "favo/").string());
  ASSERT_TRUE(WaitForPlaying()) << form.Label14->text().toStdString();
  ASSERT_TRUE(test::WaitUntil([&] { return form.List1->count() > 1; }, 10s));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(StartupTest, WithoutResumeNothingPlaysButTheNameShows) {
  Set("Onthouden", "LaatsteURL", Tone(600));
  Set("Onthouden", "LaatsteNAAM", "Toon");
  Set("Onthouden", "LaatsteLandBestand", "belgie.txt");
  Form1& form = Start();
  ASSERT_TRUE(StartedUp());
  EXPECT_EQ(player_.URL(), "");
  EXPECT_EQ(form.ZenderNaam->text(), "Toon");
  EXPECT_EQ(form.TaalGeselecteerd, "belgie.txt");
  ASSERT_TRUE(test::WaitUntil([&] { return server_->log().find("zenders/belgie.txt") != std::string::npos; }, 5s));
}

// A bad or missing volume, or no favourites folder, is reported once; the
// rest of the sequence still takes place.
TEST_F(StartupTest, AFailingStepIsReportedOnceAndTheRestStillHappens) {
  auto startsWithOneError17 = [&](int volume) {
    test::BoxCloser boxes;
    Form1& form = Start();
    ASSERT_TRUE(StartedUp());
    test::Pump(700ms);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, form.texts().Text("error17"));
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(form.Slider1->value(), volume);
  };
  for (const std::string volume : {"loud", "101"}) {  // not a number; out of range
    SCOPED_TRACE("Volume=" + volume);
    Set("Onthouden", "Volume", volume);
    startsWithOneError17(50);
    EXPECT_EQ(form_->File1Box.Path(), (folder_ / "favo/").string());
  }

  Set("Onthouden", "Volume", "20");
  std::filesystem::remove(folder_ / "favo");
  startsWithOneError17(20);
}

TEST_F(StartupTest, ClosingSavesWhatTheNextStartResumes) {
  Set("Online Radio", "afspelen", "1");
  Form1& form = Start();
  ASSERT_TRUE(StartedUp());
  form.station().PlayNamed("Zender \"één\" = twee", Tone(601));
  form.Slider1->setValue(0);
  form.TaalGeselecteerdTekst->setText("België");
  form.TaalGeselecteerd = "belgie.txt";
  form.close();
  EXPECT_EQ(Get("Onthouden", "LaatsteNAAM"), "Zender \"één\" = twee");
  EXPECT_EQ(Get("Onthouden", "LaatsteURL"), Tone(601));
  EXPECT_EQ(Get("Onthouden", "Volume"), "0");
  EXPECT_EQ(Get("Onthouden", "LaatsteLandNaam"), "België");
  EXPECT_EQ(Get("Onthouden", "LaatsteLandBestand"), "belgie.txt");  // what the next start resumes
}

// With no notification area a hidden window could never come back: the
// window shows at start, and its close box ends the program.
TEST_F(StartupTest, WithoutANotificationAreaTheWindowStaysReachable) {
  Set("Online Radio", "grootscherm", "0");
  Set("Online Radio", "xsluiten", "0");
  Form1& form = Start();
  ASSERT_TRUE(test::WaitUntil([&] { return form.isVisible(); }, 2s));
  EXPECT_FALSE(form.TrayIcon1.isShown());
  form.station().Restore("Laatste");
  EXPECT_TRUE(form.close());
  EXPECT_EQ(ended_, 1);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(Get("Onthouden", "LaatsteNAAM"), "Laatste");
}

}  // namespace
}  // namespace vandrel
