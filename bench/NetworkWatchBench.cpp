// A station lost with its server: from the announced return to Playing,
// beside a fresh play of the same station in the same run; the CPU a lost
// station costs while it waits, trying every second (30 s in the program),
// beside an idle stopped player; and what listening to the system's sources
// costs at start, beside creating the application object.
//   xvfb-run -a build/bin/vandrel-network-bench [runs]
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/MpvPlayer.h"
#include "shell/NetworkWatch.h"
#include "support/CannedServer.h"
#include "support/DirectoryServerProcess.h"
#include "support/Memory.h"
#include "support/QtWait.h"

using namespace std::chrono_literals;

namespace {

double CpuMs() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

std::unique_ptr<vandrel::test::DirectoryServerProcess> ToneServer(int port) {
  return std::make_unique<vandrel::test::DirectoryServerProcess>(
      VANDREL_SHIPPED_DIRECTORY_DATA, std::vector<std::string>{"--port", std::to_string(port), "--quiet"});
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  const long rssBefore = vandrel::test::StatusKiB("VmRSS:");
  QApplication app(argc, argv);
  const double appMs = clock.nsecsElapsed() / 1e6;
  const long appKiB = vandrel::test::StatusKiB("VmRSS:") - rssBefore;
  clock.restart();
  vandrel::NetworkWatch watch;
  watch.listen();
  const double listenMs = clock.nsecsElapsed() / 1e6;
  const long listenKiB = vandrel::test::StatusKiB("VmRSS:") - rssBefore - appKiB;
  std::printf("start: QApplication %.1f ms %ld KiB; NetworkWatch::listen %.1f ms %ld KiB (%.2fx, %.2fx)\n", appMs,
              appKiB, listenMs, listenKiB, listenMs / appMs, appKiB ? double(listenKiB) / appKiB : 0.0);

  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  const int port = vandrel::test::ClosedPort();
  auto server = ToneServer(port);
  const std::string tone = server->baseAddress() + "stream/tone";
  vandrel::MpvPlayer player(std::map<std::string, std::string>{{"ao", "null"}});
  QObject::connect(&watch, &vandrel::NetworkWatch::networkBack, &player, &vandrel::MediaPlayer::networkBack);
  player.setReconnectPauses({50ms});
  player.setSlowTries({.pause = 1h, .count = 1});
  const auto playing = [&] { return player.state().activity == vandrel::PlayState::Playing; };
  std::vector<double> fresh, back;
  for (int i = 0; i < runs; ++i) {
    clock.restart();
    player.setURL(tone);
    if (vandrel::test::WaitUntil(playing, 15s)) fresh.push_back(clock.elapsed());
    watch.reachabilityChanged(QNetworkInformation::Reachability::Disconnected);
    server.reset();
    vandrel::test::WaitUntil([&] { return player.state().activity == vandrel::PlayState::Error; }, 15s);
    server = ToneServer(port);
    clock.restart();
    watch.reachabilityChanged(QNetworkInformation::Reachability::Online);
    if (vandrel::test::WaitUntil(playing, 15s)) back.push_back(clock.elapsed());
  }
  std::printf("to Playing: fresh play median %.0f ms, network back median %.0f ms (%.2fx), %zu/%zu runs\n",
              Median(fresh), Median(back), Median(back) / Median(fresh), back.size(), fresh.size());

  // Waiting: the server gone, a slow try every second, against a stopped player.
  const auto cpuOver = [](std::chrono::milliseconds span) {
    const double before = CpuMs();
    vandrel::test::Pump(span);
    return CpuMs() - before;
  };
  player.close();
  const double stoppedMs = cpuOver(10s);
  player.setSlowTries({.pause = 1s, .count = 100});
  player.setURL(tone);
  vandrel::test::WaitUntil(playing, 15s);
  server.reset();
  vandrel::test::WaitUntil([&] { return player.state().activity == vandrel::PlayState::Error; }, 15s);
  const double lostMs = cpuOver(10s);
  std::printf("CPU over 10 s: stopped %.1f ms, lost with a try each second %.1f ms (%.2fx)\n", stoppedMs, lostMs,
              stoppedMs > 0 ? lostMs / stoppedMs : 0.0);
  player.close();
  return 0;
}
