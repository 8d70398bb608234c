#include "control/SleepControl.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

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

}  // namespace
}  // namespace vandrel
