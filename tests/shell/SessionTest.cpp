// The desktop session around the program: one instance, the network and sleep.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QSignalSpy>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "platform/MpvPlayer.h"
#include "shell/NetworkWatch.h"
#include "shell/SingleInstance.h"
#include "support/CannedServer.h"
#include "support/DirectoryServerProcess.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;
using Reachability = QNetworkInformation::Reachability;

// A player with the errors and states it gave, told of the network by watch when given.
struct Listener {
  Listener(NetworkWatch* watch, Comeback::SlowTries slow) {
    player.setReconnectPauses({100ms, 100ms});
    player.setSlowTries(slow);
    QObject::connect(&player, &MediaPlayer::errorOccurred, [this] { ++errors; });
    QObject::connect(&player, &MediaPlayer::stateChanged, [this](const PlayerState& s) { states.push_back(s.activity); });
    if (watch != nullptr) {
      QObject::connect(watch, &NetworkWatch::networkBack, &player, &MediaPlayer::networkBack);
      QObject::connect(watch, &NetworkWatch::suspending, &player, &MediaPlayer::suspending);
    }
  }
  PlayState state() const { return player.state().activity; }
  bool WaitFor(PlayState s, std::chrono::milliseconds limit) { return test::WaitUntil([&] { return state() == s; }, limit); }
  MpvPlayer player{std::map<std::string, std::string>{{"ao", "null"}}};
  int errors = 0;
  std::vector<PlayState> states;
};

// Gone for a minute: back when the network is announced or by a slow try, stopped stays stopped; one error each.
TEST(NetworkWatchTest, AStationLostWithTheNetworkOrASleepPlaysAgainWhenItIsBack) {
  const int port = test::ClosedPort();
  const auto serve = [port] {
    return std::make_unique<test::DirectoryServerProcess>(VANDREL_SHIPPED_DIRECTORY_DATA, std::vector<std::string>{"--port", std::to_string(port)});
  };
  auto server = serve();
  NetworkWatch watch;
  Listener announced(&watch, {.pause = 10min, .count = 1}), unannounced(nullptr, {.pause = 3s, .count = 100}),
      stopped(&watch, {.pause = 3s, .count = 100});
  Listener* const all[] = {&announced, &unannounced, &stopped};
  const auto each = [&](PlayState s) { return std::all_of(all, all + 3, [s](Listener* l) { return l->state() == s; }); };
  for (Listener* l : all) l->player.setURL(server->baseAddress() + "stream/tone");
  ASSERT_TRUE(test::WaitUntil([&] { return each(PlayState::Playing); }, 20s));
  watch.reachabilityChanged(Reachability::Online), watch.reachabilityChanged(Reachability::Disconnected);
  server.reset();
  const auto gone = std::chrono::steady_clock::now();
  ASSERT_TRUE(test::WaitUntil([&] { return each(PlayState::Error); }, 15s));
  stopped.player.close();
  stopped.states.clear();

  test::WaitUntil([&] { return std::chrono::steady_clock::now() - gone >= 60s; }, 65s);
  EXPECT_EQ(announced.state(), PlayState::Error);  // waiting, as it shows
  // Between its slow tries, or in the middle of one.
  EXPECT_TRUE(unannounced.state() == PlayState::Error || unannounced.state() == PlayState::Connecting);
  server = serve();
  watch.reachabilityChanged(Reachability::Online);
  EXPECT_TRUE(announced.WaitFor(PlayState::Playing, 5s)) << announced.player.status();
  EXPECT_TRUE(unannounced.WaitFor(PlayState::Playing, 10s)) << unannounced.player.status();

  watch.prepareForSleep(true), watch.prepareForSleep(false);
  EXPECT_EQ(announced.state(), PlayState::Connecting);
  EXPECT_TRUE(announced.WaitFor(PlayState::Playing, 15s)) << announced.player.status();
  test::Pump(1s);
  EXPECT_TRUE(stopped.states.empty());
  for (Listener* l : all) EXPECT_EQ(l->errors, 1);
}

// A crashed program's socket file never blocks a start; the next start hands over.
TEST(SingleInstanceTest, ALeftOverSocketIsTakenOverAndASecondStartHandsOver) {
  const QString name = SingleInstance::nameFor("/tmp/single-instance-test/" + std::to_string(::getpid()));
  sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
  std::strncpy(address.sun_path, (QDir::tempPath() + "/" + name).toLocal8Bit().constData(), sizeof address.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);  // bound, never listening, not removed

  SingleInstance first(name), second(name);
  EXPECT_FALSE(first.handOver());
  ASSERT_TRUE(first.listen());
  QSignalSpy activated(&first, &SingleInstance::activated);
  bool handedOver = false;  // the hand-over waits for the first to answer, so it runs beside the loop
  QTimer::singleShot(0, [&] { handedOver = second.handOver(); });
  ASSERT_TRUE(test::WaitUntil([&] { return activated.count() == 1; }, 5s));
  EXPECT_TRUE(handedOver);
}

}  // namespace
}  // namespace vandrel
