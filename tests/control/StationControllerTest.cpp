#include "control/StationController.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

#include "core/Ini.h"
#include "support/Files.h"

// The state under the main window, without a window or an event loop.
namespace vandrel {
namespace {

// The player as the controller sees it: a record of what it was told.
class Recorder : public MediaPlayer {
 public:
  void setURL(const std::string& address) override { calls.push_back("url " + (url = address)); }
  std::string URL() const override { return url; }
  void close() override { calls.push_back("close"); }
  void pause() override { calls.push_back("pause"); }
  void play() override { calls.push_back("play"); }
  void setVolume(int volume) override { calls.push_back("volume " + std::to_string(volume)); }
  int volume() const override { return 0; }
  PlayerState state() const override { return {}; }
  std::string streamTitle() const override { return ""; }
  std::string url;
  std::vector<std::string> calls;
};

using Texts = std::vector<std::string>;

class StationControllerTest : public ::testing::Test {
 protected:
  StationControllerTest() {
    for (const char* name : {"Een", "Twee"}) names.AddItem(name);
    for (const char* url : {"http://een/", "http://twee/"}) urls.AddItem(url);
    homepages.AddItem("een.example/");  // Twee has none: the pairing is by index
    QObject::connect(&controller, &StationController::stationChanged,
                     [this](const QString& name) { said_.push_back("station " + name.toStdString()); });
    QObject::connect(&controller, &StationController::volumeChanged,
                     [this](int volume) { said_.push_back("volume " + std::to_string(volume)); });
    QObject::connect(&controller, &StationController::countryChanged,
                     [this](const QString& name) { said_.push_back("country " + name.toStdString()); });
    QObject::connect(&controller, &StationController::reloadRequested, [this] { said_.push_back("reload"); });
  }
  // Runs an act and says what the player was told and what was signalled.
  void Expect(const std::function<void()>& act, const Texts& calls, const Texts& said) {
    player.calls.clear();
    said_.clear();
    act();
    EXPECT_EQ(player.calls, calls);
    EXPECT_EQ(said_, said);
  }

  test::TempFolder settings;
  Recorder player;
  StringListBox names, urls, homepages;
  StationController controller{{player, "directory.example/", settings.path().string(), {names, urls, homepages}}};
  Texts said_;  // what the controller signalled
};

TEST_F(StationControllerTest, EveryPathShowsAndPlaysWhatItShould) {
  CurrentStation& station = controller.station();
  EXPECT_EQ(station.name(), StationController::kNoStation);
  // An act, what the player was told and what was said, then the name, address and homepage shown.
  const std::tuple<std::function<void()>, Texts, Texts, std::string, std::string, std::string> steps[] = {
      {[&] { station.Restore("Old"); }, {}, {"station Old"}, "Old", "", "directory.example/"},
      {[&] { station.Open("http://a/"); }, {"url http://a/"}, {}, "Old", "http://a/", "directory.example/"},
      {[&] { station.Play({"Een", "http://een/", "een.example/"}); }, {"url http://een/"}, {"station Een"}, "Een",
       "http://een/", "een.example/"},
      // A favourite keeps the homepage shown.
      {[&] { station.PlayNamed("Fav", "http://fav/"); }, {"url http://fav/"}, {"station Fav"}, "Fav", "http://fav/",
       "een.example/"},
      {[&] { station.Stop(); }, {"close"}, {}, "Fav", "http://fav/", "een.example/"},
  };
  int step = 0;
  for (const auto& [act, calls, said, name, address, homepage] : steps) {
    SCOPED_TRACE(step++);
    Expect(act, calls, said);
    EXPECT_EQ(station.name(), name);
    EXPECT_EQ(station.address(), address);
    EXPECT_EQ(station.homepage(), homepage);
  }
}

// The volume and the country are the controller's: each change reaches the
// player once and is said once, so the slider and labels follow without echo.
TEST_F(StationControllerTest, VolumeAndCountryChangesAreSaidOnce) {
  EXPECT_EQ(controller.volume(), 100);
  Expect([&] { controller.setVolume(25); }, {"volume 25"}, {"volume 25"});
  Expect([&] { controller.setVolume(25); }, {}, {});
  EXPECT_EQ(controller.volume(), 25);
  EXPECT_EQ(controller.countryFile(), "holland.txt");
  Expect([&] { controller.RestoreCountry("Holland", "holland.txt"); }, {}, {"country Holland"});
  Expect([&] { controller.ChooseCountry(" Twee  Land ", "twee.txt"); }, {}, {"country  Twee  Land ", "reload"});
  EXPECT_EQ(controller.countryName(), " Twee  Land ");
  EXPECT_EQ(controller.countryFile(), "twee.txt");
}

// An address from outside plays only when it is web radio, under the name of
// the listed station, else of the favourite, else itself.
TEST_F(StationControllerTest, AnAddressFromOutsidePlaysOnlyAsWebRadioUnderTheNameItIsKnownBy) {
  const std::string favourites = settings.path() / "favo/";
  settings.write("favo/Mijn Twee", "[Internet]\nnaam=Mijn Fav\nurl=http://fav/\n");
  controller.setFavouritesFolder(favourites);
  const struct {
    std::string address, name, homepage;  // empty name: nothing plays
  } cases[] = {
      {"http://twee/", "Twee", ""},
      {"http://een/", "Een", "een.example/"},
      {"http://fav/", "Mijn Fav", "een.example/"},
      {"https://elders/", "https://elders/", "een.example/"},
      {"file:///etc/passwd", "", ""},
      {"av://lavfi:sine", "", ""},
      {"ftp://een/", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    Expect([&] { controller.OpenAddress(c.address); }, c.name.empty() ? Texts{} : Texts{"url " + c.address},
           c.name.empty() ? Texts{} : Texts{"station " + c.name});
    if (c.name.empty()) continue;
    EXPECT_EQ(controller.station().name(), c.name);
    EXPECT_EQ(controller.station().homepage(), c.homepage);
  }
  EXPECT_EQ(controller.LastAddress(), "");
  WriteIni((settings.path() / "INST.INI").string(), "Onthouden", "LaatsteURL", "http://last/");
  EXPECT_EQ(controller.LastAddress(), "http://last/");
}

}  // namespace
}  // namespace vandrel
