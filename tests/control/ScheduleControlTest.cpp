#include "control/AlarmControl.h"
#include "control/SleepControl.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "core/Ini.h"
#include "support/Files.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;

// A player that only keeps what it is told.
struct QuietPlayer : MediaPlayer {
  void setURL(const std::string& a) override { url = a; }
  std::string URL() const override { return url; }
  void close() override { url.clear(); }
  void pause() override {}
  void play() override {}
  void setVolume(int v) override { volume_ = v; }
  void say(PlayState activity) {
    PlayerState state;
    state.activity = activity;
    emit stateChanged(state);
  }
  int volume() const override { return volume_; }
  PlayerState state() const override { return {}; }
  std::string streamTitle() const override { return ""; }
  std::string url;
  int volume_ = 100;
};

TEST(SleepControlTest, FadesOnlyThePlayerThenStopsAndGivesTheVolumeBack) {
  int argc = 0;
  QCoreApplication app(argc, nullptr);  // for its ticks
  QuietPlayer player;
  StringListBox names, urls, homepages;
  StationController controller({player, "", "", {names, urls, homepages}});
  controller.setVolume(80);
  Millis now{0};
  SleepControl sleep(controller, [&] { return now; });
  controller.station().playNamed("A", "http://a.example/");
  sleep.sleepAfter(15min);
  now = 15min - 15s;
  ASSERT_TRUE(test::WaitUntil([&] { return player.volume() == 40; }, 2s));
  EXPECT_EQ(controller.volume(), 80);  // the slider and the saved volume keep the user's
  controller.station().playNamed("B", "http://b.example/");  // another station keeps the timer
  now = 15min;
  ASSERT_TRUE(test::WaitUntil([&] { return player.url.empty(); }, 2s));
  EXPECT_EQ(player.volume(), 80);
  EXPECT_FALSE(sleep.timer().running());
}

// A dead favourite gives way to the next, then to the tone, then to the bell;
// the volume rises from low to the one set.
TEST(AlarmControlTest, SoundsWhateverPlaysRisingToTheSetVolumeAndKeepsItsSetting) {
  int argc = 0;
  QCoreApplication app(argc, nullptr);
  test::TempFolder folder;
  folder.write("favo/A", "[Internet]\nnaam=A\nurl=http://a.example/\n");
  folder.write("favo/B", "[Internet]\nnaam=B\nurl=file:///dev/zero\n");
  folder.write("favo/C", "[Internet]\nnaam=C\nurl=http://c.example/\n");
  QuietPlayer player;
  StringListBox names, urls, homepages;
  StationController controller({player, "", folder.path().string(), {names, urls, homepages}});
  controller.setVolume(60);
  Millis steady{0};
  int bells = 0;
  AlarmControl alarm({controller, [] { return LocalMoment{}; }, [&] { return steady; }, "http://tone.example/",
                      [&] { ++bells; }});
  AlarmSetting setting = AlarmSetting::Read("1,6,45,127,C");
  alarm.setSetting(setting);
  EXPECT_EQ(ReadIniWhole((folder.path() / "INST.INI").string(), "Online Radio", "wekker"), "1,6,45,127,C");
  std::vector<std::string> played;
  QObject::connect(&alarm, &AlarmControl::sounded, [&](const QString& name) { played.push_back(name.toStdString()); });
  alarm.sound();
  EXPECT_EQ(player.volume(), 6);
  EXPECT_EQ(player.url, "http://c.example/");  // the chosen one first
  for (const char* next : {"http://a.example/", "http://tone.example/"}) {  // B is no web radio
    player.say(PlayState::Error);
    ASSERT_TRUE(test::WaitUntil([&] { return player.url == next; }, 2s));
  }
  player.say(PlayState::Playing);
  EXPECT_EQ(played, std::vector<std::string>{"Vandrel"});
  steady = 30s;
  ASSERT_TRUE(test::WaitUntil([&] { return player.volume() == 33; }, 2s));
  steady = 61s;
  ASSERT_TRUE(test::WaitUntil([&] { return player.volume() == 60 && !alarm.sounding(); }, 2s));
  // Nothing plays at all: the bell.
  alarm.sound();
  for (int i = 0; i < 3; ++i) {
    player.say(PlayState::Error);
    test::Pump(20ms);
  }
  ASSERT_TRUE(test::WaitUntil([&] { return bells > 0; }, 3s));
  EXPECT_EQ(played.size(), 1u);
}

}  // namespace
}  // namespace vandrel
