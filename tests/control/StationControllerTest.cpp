#include "stations/CurrentStation.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

namespace vandrel {
namespace {

// The player as the controller sees it: a record of what it was told.
class Recorder : public Playback {
 public:
  void setURL(const std::string& address) override { calls.push_back("url " + (url = address)); }
  std::string URL() const override { return url; }
  void close() override { calls.push_back("close"); }
  void pause() override { calls.push_back("pause"); }
  void play() override { calls.push_back("play"); }
  std::string url;
  std::vector<std::string> calls;
};

TEST(CurrentStationTest, EveryPathShowsAndPlaysWhatItShould) {
  Recorder player;
  CurrentStation station(player, "directory.example/");
  // An act, what the player was told (if anything), then the name, address and homepage shown.
  const std::tuple<std::function<void()>, std::string, std::string, std::string, std::string> steps[] = {
      {[&] { station.Restore("Remembered"); }, "", "Remembered", "", "directory.example/"},
      {[&] { station.Open("http://a/"); }, "url http://a/", "Remembered", "http://a/", "directory.example/"},
      {[&] { station.Play({"Een", "http://een/", "een.example/"}); }, "url http://een/", "Een", "http://een/", "een.example/"},
      // A favourite keeps the homepage shown.
      {[&] { station.PlayNamed("Fav", "http://fav/"); }, "url http://fav/", "Fav", "http://fav/", "een.example/"},
  };
  int step = 0;
  for (const auto& [act, call, name, address, homepage] : steps) {
    SCOPED_TRACE(step++);
    player.calls.clear();
    act();
    EXPECT_EQ(player.calls, call.empty() ? std::vector<std::string>{} : std::vector<std::string>{call});
    EXPECT_EQ(station.name(), name);
    EXPECT_EQ(station.address(), address);
    EXPECT_EQ(station.homepage(), homepage);
  }
}

}  // namespace
}  // namespace vandrel
