// Resident memory while recording a live stream for long, beside playing the
// same stream, each in a process of its own, in one run. The recording is
// switched to a new file every 30 s, as at a title change. The Ogg Opus
// mount's 400 packets a second make 6 minutes stand for an hour of MP3 (see
// the playing benchmark).
//   [SWITCH_MS=30000] build/bin/vandrel-record-memory-bench [minutes]     (6 by default; SWITCH_MS=0: one file)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/MpvPlayer.h"
#include "support/Icecast.h"
#include "support/Memory.h"
#include "support/QtWait.h"

using namespace std::chrono_literals;

namespace {

// Prints "RSS-at-1-min RSS-at-end files-written", in KiB.
int Child(bool record, const std::string& address, int seconds) {
  vandrel::MpvPlayer player(std::map<std::string, std::string>{{"ao", "null"}});
  QTemporaryDir folder;
  player.setURL(address);
  vandrel::test::WaitUntil([&] { return player.state().activity == vandrel::PlayState::Playing; }, 15s);
  QElapsedTimer clock;
  clock.start();
  long atMinute = 0;
  int files = 0;
  while (clock.elapsed() < seconds * 1000LL) {
    static const long long every = std::getenv("SWITCH_MS") ? std::atoll(std::getenv("SWITCH_MS")) : 30000LL;
    if (record && (files == 0 || (every > 0 && clock.elapsed() >= files * every))) {
      player.record(folder.filePath(QString("song %1.opus").arg(++files)).toStdString());
    }
    vandrel::test::Pump(1s);
    if (atMinute == 0 && clock.elapsed() >= 60000) atMinute = vandrel::test::StatusKiB("VmRSS:");
  }
  player.record("");
  int written = 0;
  for (const auto& file : std::filesystem::directory_iterator(folder.path().toStdString())) {
    written += file.file_size() > 0 ? 1 : 0;
  }
  std::printf("%ld %ld %d\n", atMinute, vandrel::test::StatusKiB("VmRSS:"), written);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc == 5 && std::strcmp(argv[1], "--child") == 0) {
    return Child(std::strcmp(argv[2], "record") == 0, argv[3], std::atoi(argv[4]));
  }
  const int minutes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 6;
  vandrel::test::Icecast icecast(65536);
  if (!icecast.FeedMount("/opus.ogg", vandrel::test::Icecast::Feed::OggOpus)) {
    std::fprintf(stderr, "record memory bench: the feed did not start\n");
    return 1;
  }
  struct Run {
    const char* what;
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    long atMinute = 0, atEnd = 0;
    int files = 0;
  } runs[] = {{"play"}, {"record"}};
  for (Run& run : runs) {
    run.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.process->start(QCoreApplication::applicationFilePath(),
                       {"--child", run.what, QString::fromStdString(icecast.Address("opus.ogg")),
                        QString::number(minutes * 60)});
  }
  for (Run& run : runs) {
    run.process->waitForFinished((minutes * 60 + 60) * 1000);
    std::sscanf(run.process->readAllStandardOutput().constData(), "%ld %ld %d", &run.atMinute, &run.atEnd, &run.files);
  }
  std::printf("RSS for %d min of Ogg Opus (ao=null), MiB\n%-8s %9s %9s %9s %s\n", minutes, "", "1 min", "end",
              "growth", "files");
  for (const Run& run : runs) {
    std::printf("%-8s %9.1f %9.1f %9.1f %d\n", run.what, run.atMinute / 1024.0, run.atEnd / 1024.0,
                (run.atEnd - run.atMinute) / 1024.0, run.files);
  }
  std::printf("recording / playing: RSS at end %.2f\n", static_cast<double>(runs[1].atEnd) / runs[0].atEnd);
  return 0;
}
