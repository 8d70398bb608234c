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
#include <memory>
#include <vector>

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

// A player with the errors it gave, told of the network by watch when given.
struct Listener {
  explicit Listener(NetworkWatch* watch) : player(std::map<std::string, std::string>{{"ao", "null"}}) {
    QObject::connect(&player, &MediaPlayer::errorOccurred, [this] { ++errors; });
    QObject::connect(&player, &MediaPlayer::stateChanged, [this](const PlayerState& s) { states.push_back(s.activity); });
    if (watch != nullptr) {
      QObject::connect(watch, &NetworkWatch::networkBack, &player, &MediaPlayer::networkBack);
      QObject::connect(watch, &NetworkWatch::suspending, &player, &MediaPlayer::suspending);
    }
  }
  bool WaitFor(PlayState state, std::chrono::milliseconds limit) {
    return test::WaitUntil([&] { return player.state().activity == state; }, limit);
  }
  MpvPlayer player;
  int errors = 0;
  std::vector<PlayState> states;
};

std::unique_ptr<test::DirectoryServerProcess> ToneServer(int port) {
  return std::make_unique<test::DirectoryServerProcess>(VANDREL_SHIPPED_DIRECTORY_DATA,
                                                        std::vector<std::string>{"--port", std::to_string(port)});
}

// The server and the network go for a minute: the station returns when the
// network is announced, or by a slow try, and stays stopped if stopped; one error each.
TEST(NetworkWatchTest, AStationLostWithTheNetworkPlaysAgainWhenItIsBack) {
  const int port = test::ClosedPort();
  auto server = ToneServer(port);
  const std::string tone = server->baseAddress() + "stream/tone";
  NetworkWatch watch;
  Listener announced(&watch), unannounced(nullptr), stopped(&watch);
  const struct {
    Listener& listener;
    Comeback::SlowTries slow;
  } players[] = {{announced, {.pause = 10min, .count = 1}},
                 {unannounced, {.pause = 3s, .count = 100}},
                 {stopped, {.pause = 3s, .count = 100}}};
  for (const auto& p : players) {
    p.listener.player.setReconnectPauses({100ms, 100ms});
    p.listener.player.setSlowTries(p.slow);
    p.listener.player.setURL(tone);
  }
  const auto all = [&](PlayState state) {
    return std::all_of(std::begin(players), std::end(players),
                       [state](const auto& p) { return p.listener.player.state().activity == state; });
  };
  ASSERT_TRUE(test::WaitUntil([&] { return all(PlayState::Playing); }, 20s));
  watch.reachabilityChanged(Reachability::Online);
  watch.reachabilityChanged(Reachability::Disconnected);
  server->terminate(5s);
  server.reset();
  const auto gone = std::chrono::steady_clock::now();
  ASSERT_TRUE(test::WaitUntil([&] { return all(PlayState::Error); }, 15s));
  stopped.player.close();

  test::WaitUntil([&] { return std::chrono::steady_clock::now() - gone >= 60s; }, 65s);
  EXPECT_EQ(announced.player.state().activity, PlayState::Error);  // waiting, as it shows
  // Between its slow tries, or in the middle of one.
  const PlayState waiting = unannounced.player.state().activity;
  EXPECT_TRUE(waiting == PlayState::Error || waiting == PlayState::Connecting) << unannounced.player.status();
  server = ToneServer(port);
  watch.reachabilityChanged(Reachability::Online);
  EXPECT_TRUE(announced.WaitFor(PlayState::Playing, 5s)) << announced.player.status();
  EXPECT_TRUE(unannounced.WaitFor(PlayState::Playing, 10s)) << unannounced.player.status();
  test::Pump(1s);
  EXPECT_EQ(stopped.player.state().activity, PlayState::Stopped);
  EXPECT_EQ(announced.errors, 1);
  EXPECT_EQ(unannounced.errors, 1);
  EXPECT_EQ(stopped.errors, 1);
}

// On waking, a station that played is opened afresh; a stopped one stays stopped.
TEST(NetworkWatchTest, AStationThatPlayedBeforeASleepIsOpenedAfreshOnWaking) {
  auto server = ToneServer(test::ClosedPort());
  NetworkWatch watch;
  Listener playing(&watch), stopped(&watch);
  for (Listener* l : {&playing, &stopped}) l->player.setURL(server->baseAddress() + "stream/tone");
  ASSERT_TRUE(playing.WaitFor(PlayState::Playing, 15s) && stopped.WaitFor(PlayState::Playing, 15s));
  stopped.player.close();
  stopped.states.clear();
  watch.prepareForSleep(true);
  watch.prepareForSleep(false);
  EXPECT_EQ(playing.player.state().activity, PlayState::Connecting);
  EXPECT_TRUE(playing.WaitFor(PlayState::Playing, 15s)) << playing.player.status();
  test::Pump(500ms);
  EXPECT_TRUE(stopped.states.empty());
  EXPECT_EQ(playing.errors, 0);
}

// A crashed program's socket file never blocks a start; the next start hands over.
TEST(SingleInstanceTest, ALeftOverSocketIsTakenOverAndASecondStartHandsOver) {
  EXPECT_NE(SingleInstance::nameFor("/opt/a"), SingleInstance::nameFor("/opt/b"));  // each installation runs once
  const QString name = SingleInstance::nameFor("/tmp/single-instance-test/" + std::to_string(::getpid()));
  const QString path = QDir::tempPath() + "/" + name;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ::close(fd);  // bound, never listening, not removed

  SingleInstance first(name);
  EXPECT_FALSE(first.handOver());
  ASSERT_TRUE(first.listen());
  SingleInstance second(name);
  QSignalSpy activated(&first, &SingleInstance::activated);
  // The hand-over waits for the first to answer, so it runs beside the loop.
  bool handedOver = false;
  QTimer::singleShot(0, [&] { handedOver = second.handOver(); });
  ASSERT_TRUE(test::WaitUntil([&] { return activated.count() == 1; }, 5s));
  EXPECT_TRUE(handedOver);
}

}  // namespace
}  // namespace vandrel
