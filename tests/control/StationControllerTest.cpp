// The state under the main window, without a window or an event loop.
#include "control/StationController.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "support/Files.h"

namespace vandrel {
namespace {

using Texts = std::vector<std::string>;

// The player as the controller sees it: what it was told, in one log with what the controller said.
class Recorder : public MediaPlayer {
 public:
  explicit Recorder(Texts& log) : log_(log) {}
  void setURL(const std::string& address) override { log_.push_back("url " + (url_ = address)); }
  std::string URL() const override { return url_; }
  void close() override { log_.push_back("close"); }
  void pause() override { log_.push_back("pause"); }
  void play() override { log_.push_back("play"); }
  void setVolume(int volume) override { log_.push_back("volume " + std::to_string(volume)); }
  int volume() const override { return 0; }
  PlayerState state() const override { return {}; }
  std::string streamTitle() const override { return ""; }

 private:
  Texts& log_;
  std::string url_;
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
  static std::string Text(const QString& text) { return text.toStdString(); }
  static std::string Text(int value) { return std::to_string(value); }

  test::TempFolder settings;
  Texts log;
  Recorder player{log};
  StringListBox names, urls, homepages;
  StationController controller{{player, "directory.example/", settings.path().string(), {names, urls, homepages}}};
};

// Each change reaches the player once and is said once, so widgets never echo it back.
TEST_F(StationControllerTest, EveryChangeIsToldToThePlayerAndSaidOnce) {
  CurrentStation& station = controller.station();
  // An act, what it told and said, then the name, address and homepage shown.
  const std::tuple<std::function<void()>, Texts, std::string> steps[] = {
      {[&] { station.restore("Old"); }, {"said station Old"}, "Old  directory.example/"},
      {[&] { station.open("http://a/"); }, {"url http://a/"}, "Old http://a/ directory.example/"},
      {[&] { station.play({"Een", "http://een/", "een.example/"}); }, {"url http://een/", "said station Een"},
       "Een http://een/ een.example/"},
      // A favourite keeps the homepage shown.
      {[&] { station.playNamed("Fav", "http://fav/"); }, {"url http://fav/", "said station Fav"}, "Fav http://fav/ een.example/"},
      {[&] { station.stop(); }, {"close"}, "Fav http://fav/ een.example/"},
      {[&] { controller.setVolume(25); }, {"volume 25", "said volume 25"}, "Fav http://fav/ een.example/"},
      {[&] { controller.setVolume(25); }, {}, "Fav http://fav/ een.example/"},
      {[&] { controller.restoreCountry("Holland", "holland.txt"); }, {"said country Holland"}, "Fav http://fav/ een.example/"},
      {[&] { controller.chooseCountry(" Twee ", "twee.txt"); }, {"said country  Twee ", "said reload"},
       "Fav http://fav/ een.example/"},
  };
  for (const auto& [act, told, shown] : steps) {
    log.clear();
    act();
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
  const struct {
    std::string address, name, homepage;  // empty name: nothing plays
  } cases[] = {
      {"http://twee/", "Twee", ""},
      {"http://een/", "Een", "een.example/"},
      {"http://fav/", "Mijn Fav", "een.example/"},
      {"https://elders/", "https://elders/", "een.example/"},
      {"file:///etc/passwd", "", ""},  // which addresses are web ones is BrowserLinksTest's
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    log.clear();
    controller.openAddress(c.address);
    EXPECT_EQ(log, c.name.empty() ? Texts{} : Texts({"url " + c.address, "said station " + c.name}));
    if (c.name.empty()) continue;
    EXPECT_EQ(controller.station().homepage(), c.homepage);
  }
}

}  // namespace
}  // namespace vandrel
