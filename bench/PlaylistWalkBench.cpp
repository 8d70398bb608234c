// Following a playlist of dead entries to its end: the time from handing the
// player the list to its one error, and the longest the window's loop went
// unanswered meanwhile, beside the mpv command-line player walking the same
// list in the same run (its time is the floor: libmpv does the opening).
//
//   xvfb-run -a build/bin/vandrel-playlist-bench [entries...]
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/MpvPlayer.h"
#include "support/CannedServer.h"
#include "support/QtWait.h"

using namespace std::chrono_literals;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {2000, 20000};
  const std::string dead = "http://127.0.0.1:" + std::to_string(vandrel::test::ClosedPort()) + "/";
  std::printf("%8s %12s %12s %8s %14s\n", "entries", "player ms", "mpv CLI ms", "ratio", "longest gap ms");
  for (const int size : sizes) {
    std::string body = "#EXTM3U\n";
    for (int i = 0; i < size; ++i) body += dead + std::to_string(i) + "\n";
    vandrel::test::CannedServer server("HTTP/1.1 200 OK\r\nContent-Type: audio/x-mpegurl\r\nContent-Length: " +
                                       std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    const QString address = QString::fromStdString(server.address() + "list.m3u");

    vandrel::MpvPlayer player(std::map<std::string, std::string>{{"ao", "null"}});
    player.prepare();
    QEventLoop opened;
    QTimer::singleShot(2s, &opened, &QEventLoop::quit);  // libmpv opens meanwhile
    opened.exec();
    vandrel::test::LoopGap gap(10ms);
    QEventLoop loop;
    QObject::connect(&player, &vandrel::MediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(600s, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    gap.start();
    player.setURL(address.toStdString());
    loop.exec();
    const double ours = static_cast<double>(clock.elapsed());
    gap.stop();

    QProcess mpv;
    clock.restart();
    mpv.start("mpv", {"--no-config", "--ytdl=no", "--load-scripts=no", "--ao=null", "--really-quiet", address});
    mpv.waitForFinished(600000);
    const double floor = static_cast<double>(clock.elapsed());
    std::printf("%8d %12.0f %12.0f %8.2f %14lld\n", size, ours, floor, ours / floor,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(gap.longest()).count()));
    std::fflush(stdout);
  }
  return 0;
}
