// The state under the main window and the timers that steer it, on a player that only keeps what it is told.
#include "control/AlarmControl.h"
#include "control/SleepControl.h"
#include "control/StationController.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <functional>
#include <tuple>

#include "core/Ini.h"
#include "core/SettingsFile.h"
#include "support/Files.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

// What the player was told, in one log with what the controller said.
struct Recorder : MediaPlayer {
  void setURL(const std::string& address) override { log.push_back("url " + (url = address)); }
  std::string URL() const override { return url; }
  void close() override { log.push_back("close"); }
  void pause() override { log.push_back("pause"); }
  void play() override { log.push_back("play"); }
  void setVolume(int volume) override { log.push_back("volume " + std::to_string(volume_ = volume)); }
  int volume() const override { return volume_; }
  PlayerState state() const override { return {.activity = activity}; }
  std::string streamTitle() const override { return ""; }
  void say(PlayState activity) { emit stateChanged(PlayerState{.activity = activity}); }
  Texts log;
  std::string url;
  int volume_ = 100;
  PlayState activity = PlayState::Stopped;
};

class StationControllerTest : public ::testing::Test {
 protected:
  StationControllerTest() {
    for (const char* name : {"Een", "Twee"}) names.AddItem(name);
    for (const char* url : {"http://een/", "http://twee/"}) urls.AddItem(url);
    homepages.AddItem("een.example/");  // Twee has none: the pairing is by index
    const auto say = [this](std::string what) { return [this, what](auto value) { log.push_back(what + Text(value)); }; };
    QObject::connect(&controller, &StationController::stationChanged, say("said station "));
    QObject::connect(&controller, &StationController::volumeChanged, say("said volume "));
    QObject::connect(&controller, &StationController::countryChanged, say("said country "));
    QObject::connect(&controller, &StationController::reloadRequested, [this] { log.push_back("said reload"); });
  }
  static std::string Text(const QString& t) { return t.toStdString(); }
  static std::string Text(int v) { return std::to_string(v); }

  int argc = 0;
  QCoreApplication app{argc, nullptr};  // for the timers' ticks
  test::TempFolder settings;
  Recorder player;
  Texts& log = player.log;
  StringListBox names, urls, homepages;
  StationController controller{{player, "directory.example/", settings.path().string(), {names, urls, homepages}}};
};
using SleepControlTest = StationControllerTest;
using AlarmControlTest = StationControllerTest;

// "Play" from outside the window: the station again, else the last address; nothing while sound is on its way.
TEST_F(StationControllerTest, PlayResumesTheStationOrElseTheLastAddress) {
  WriteIni(SettingsFile(settings.path().string()), settings::kLastUrl.section, settings::kLastUrl.key, "http://last/");
  const std::tuple<PlayState, std::string, Texts> rows[] = {{PlayState::Stopped, "", {"url http://last/"}},
      {PlayState::Connecting, "http://a/", {}}, {PlayState::Paused, "http://a/", {"play"}}, {PlayState::Error, "http://a/", {"play"}}};
  for (const auto& [activity, current, told] : rows) {
    if (!current.empty()) controller.station().open(current);
    player.activity = activity, log.clear();
    controller.resume();
    EXPECT_EQ(log, told) << current << int(activity);
  }
}

// Each change reaches the player once and is said once, so widgets never echo it back.
TEST_F(StationControllerTest, EveryChangeIsToldToThePlayerAndSaidOnce) {
  CurrentStation& station = controller.station();
  const std::string fav = "Fav http://fav/ een.example/";
  const std::tuple<std::function<void()>, Texts, std::string> steps[] = {  // an act, what it told and said, then shown
      {[&] { station.restore("Old"); }, {"said station Old"}, "Old  directory.example/"},
      {[&] { station.open("http://a/"); }, {"url http://a/"}, "Old http://a/ directory.example/"},
      {[&] { station.play({"Een", "http://een/", "een.example/"}); }, {"url http://een/", "said station Een"},
       "Een http://een/ een.example/"},
      {[&] { station.playNamed("Fav", "http://fav/"); }, {"url http://fav/", "said station Fav"}, fav},  // keeps the homepage
      {[&] { station.stop(); }, {"close"}, fav},
      {[&] { controller.setVolume(25); }, {"volume 25", "said volume 25"}, fav},
      {[&] { controller.setVolume(25); }, {}, fav},
      {[&] { controller.restoreCountry("Holland", "holland.txt"); }, {"said country Holland"}, fav},
      {[&] { controller.chooseCountry(" Twee ", "twee.txt"); }, {"said country  Twee ", "said reload"}, fav},
  };
  for (const auto& [act, told, shown] : steps) {
    log.clear(), act();
    EXPECT_EQ(log, told) << shown;
    EXPECT_EQ(station.name() + " " + station.address() + " " + station.homepage(), shown);
  }
  EXPECT_EQ(controller.volume(), 25);
  EXPECT_EQ(controller.countryName() + controller.countryFile(), " Twee twee.txt");
}

// An address from outside plays only as web radio, under the listed name, the favourite's, or itself.
TEST_F(StationControllerTest, AnAddressFromOutsidePlaysOnlyAsWebRadioUnderTheNameItIsKnownBy) {
  settings.write("favo/Mijn Twee", "[Internet]\nnaam=Mijn Fav\nurl=http://fav/\n");
  controller.setFavouritesFolder(settings.path() / "favo/");
  const std::pair<std::string, std::string> cases[] = {  // the address, its name (none: nothing plays)
      {"http://twee/", "Twee"}, {"http://een/", "Een"}, {"http://fav/", "Mijn Fav"}, {"https://elders/", "https://elders/"},
      {"file:///etc/passwd", ""},  // which addresses are web ones is BrowserLinksTest's
  };
  for (const auto& [address, name] : cases) {
    log.clear(), controller.openAddress(address);
    EXPECT_EQ(log, name.empty() ? Texts{} : Texts({"url " + address, "said station " + name})) << address;
    if (!name.empty()) { EXPECT_EQ(controller.station().homepage(), name == "Een" || name == "Mijn Fav" ? "een.example/" : "") << address; }
  }
}

TEST_F(SleepControlTest, FadesOnlyThePlayerThenStopsAndGivesTheVolumeBack) {
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
  ASSERT_TRUE(test::WaitUntil([&] { return std::ranges::count(log, "close") == 1; }, 2s));
  EXPECT_EQ(player.volume(), 80);
  EXPECT_FALSE(sleep.timer().running());
}

// A dead favourite gives way to the next, then to the tone, then to the bell; the volume rises to the one set.
TEST_F(AlarmControlTest, SoundsWhateverPlaysRisingToTheSetVolumeAndKeepsItsSetting) {
  for (const auto& [name, url] : {std::pair{"A", "http://a.example/"}, {"B", "file:///dev/zero"}, {"C", "http://c.example/"}})
    settings.write(std::string("favo/") + name, std::string("[Internet]\nnaam=") + name + "\nurl=" + url + "\n");
  controller.setVolume(60);
  Millis steady{0};
  int bells = 0;
  AlarmControl alarm({controller, [] { return LocalMoment{}; }, [&] { return steady; }, "http://tone.example/", [&] { ++bells; }});
  alarm.setSetting(AlarmSetting::Read("1,6,45,127,C"));
  EXPECT_EQ(ReadIniWhole((settings.path() / "INST.INI").string(), "Online Radio", "wekker"), "1,6,45,127,C");
  Texts played;
  QObject::connect(&alarm, &AlarmControl::sounded, [&](const QString& name) { played.push_back(name.toStdString()); });
  alarm.sound();
  EXPECT_EQ(player.volume(), 6);
  EXPECT_EQ(player.url, "http://c.example/");  // the chosen one first
  for (const char* next : {"http://a.example/", "http://tone.example/"}) {  // B is no web radio
    player.say(PlayState::Error);
    ASSERT_TRUE(test::WaitUntil([&] { return player.url == next; }, 2s));
  }
  player.say(PlayState::Playing);
  EXPECT_EQ(played, Texts{"Vandrel"});
  steady = 30s;
  ASSERT_TRUE(test::WaitUntil([&] { return player.volume() == 33; }, 2s));
  steady = 61s;
  ASSERT_TRUE(test::WaitUntil([&] { return player.volume() == 60 && !alarm.sounding(); }, 2s));
  alarm.sound();  // nothing plays at all: the bell
  for (int i = 0; i < 3; ++i) player.say(PlayState::Error), test::Pump(20ms);
  ASSERT_TRUE(test::WaitUntil([&] { return bells > 0; }, 3s));
  EXPECT_EQ(played.size(), 1u);
}

}  // namespace
}  // namespace vandrel
