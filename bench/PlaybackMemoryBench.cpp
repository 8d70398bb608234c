// Resident memory while playing a live stream for long: RSS after 1 minute
// and at the end, the player's buffers as they are against mpv's default
// buffers (what the player used up to 3426f5c), all four runs side by side in
// one run, each in a process of its own.
//
// libmpv's back buffer grows with the packet count, not the bitrate: the Ogg
// Opus mount's 2.5 ms frames (400 packets a second) grow it about ten times
// faster than the 128 kbit/s MP3 mount (38 a second), so 6 minutes of Opus
// stand for an hour of MP3.
//   build/bin/vandrel-memory-bench [minutes]     (6 by default)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/MpvPlayer.h"
#include "support/Icecast.h"
#include "support/Memory.h"
#include "support/QtWait.h"

using namespace std::chrono_literals;

namespace {

// mpv's own defaults for its demuxer and cache.
const std::map<std::string, std::string> kMpvDefaults{{"demuxer-max-bytes", "150MiB"},
                                                      {"demuxer-max-back-bytes", "50MiB"},
                                                      {"demuxer-readahead-secs", "1"},
                                                      {"cache-secs", "3600000"},
                                                      {"demuxer-donate-buffer", "yes"}};

// One player on one address for `seconds`; prints "RSS-at-1-min RSS-at-end
// played", in KiB.
int Child(bool mpvDefaults, const std::string& address, int seconds) {
  std::map<std::string, std::string> options{{"ao", "null"}};
  if (mpvDefaults) options.insert(kMpvDefaults.begin(), kMpvDefaults.end());
  vandrel::MpvPlayer player(options);
  player.setURL(address);
  QElapsedTimer clock;
  clock.start();
  long atMinute = 0;
  bool played = true;
  vandrel::test::WaitUntil([&] { return player.state().activity == vandrel::PlayState::Playing; }, 15s);
  while (clock.elapsed() < seconds * 1000LL) {
    vandrel::test::Pump(1s);
    if (player.state().activity != vandrel::PlayState::Playing) played = false;
    if (atMinute == 0 && clock.elapsed() >= 60000) atMinute = vandrel::test::StatusKiB("VmRSS:");
  }
  std::printf("%ld %ld %d\n", atMinute, vandrel::test::StatusKiB("VmRSS:"), played ? 1 : 0);
  return 0;
}

struct Run {
  const char* stream;
  bool mpvDefaults;
  std::string address;
  std::unique_ptr<QProcess> process;
  long atMinute = 0, atEnd = 0;
  int played = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc == 5 && std::strcmp(argv[1], "--child") == 0) {
    return Child(std::strcmp(argv[2], "mpv-defaults") == 0, argv[3], std::atoi(argv[4]));
  }
  const int minutes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 6;

  vandrel::test::Icecast icecast(65536);  // as Icecast ships
  if (!icecast.FeedMount("/opus.ogg", vandrel::test::Icecast::Feed::OggOpus) ||
      !icecast.FeedMount("/radio.mp3", vandrel::test::Icecast::Feed::Mp3)) {
    std::fprintf(stderr, "memory bench: the feeds did not start\n");
    return 1;
  }
  std::vector<Run> runs;
  for (const char* stream : {"opus.ogg", "radio.mp3"}) {
    for (bool mpvDefaults : {true, false}) runs.push_back({stream, mpvDefaults, icecast.Address(stream), nullptr});
  }
  for (Run& run : runs) {
    run.process = std::make_unique<QProcess>();
    run.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.process->start(QCoreApplication::applicationFilePath(),
                       {"--child", run.mpvDefaults ? "mpv-defaults" : "ours", QString::fromStdString(run.address),
                        QString::number(minutes * 60)});
  }
  for (Run& run : runs) {
    run.process->waitForFinished((minutes * 60 + 60) * 1000);
    std::sscanf(run.process->readAllStandardOutput().constData(), "%ld %ld %d", &run.atMinute, &run.atEnd,
                &run.played);
  }

  std::printf("RSS playing for %d min (ao=null), MiB; growth = at end - at 1 min\n", minutes);
  std::printf("%-12s %-14s %9s %9s %9s %s\n", "stream", "buffers", "1 min", "end", "growth", "played");
  for (const Run& run : runs) {
    std::printf("%-12s %-14s %9.1f %9.1f %9.1f %s\n", run.stream, run.mpvDefaults ? "mpv defaults" : "ours",
                run.atMinute / 1024.0, run.atEnd / 1024.0, (run.atEnd - run.atMinute) / 1024.0,
                run.played ? "yes" : "NO");
  }
  for (std::size_t i = 0; i + 1 < runs.size(); i += 2) {
    const Run& before = runs[i];
    const Run& after = runs[i + 1];
    std::printf("%-12s ours / mpv defaults: RSS at end %.2f, growth %.2f\n", before.stream,
                static_cast<double>(after.atEnd) / before.atEnd,
                before.atEnd > before.atMinute
                    ? static_cast<double>(after.atEnd - after.atMinute) / (before.atEnd - before.atMinute)
                    : 0.0);
  }
  return 0;
}
