// Click to sound: from handing the player an address to audio flowing into
// a PulseAudio null sink (its stream uncorked), for each kind of stream, with
// Goodvibes on the local tone and the Ogg mount measured the same way in the
// same run. Also the delay from a title change at an Icecast source to the
// player's title.
//
// Run on a session bus (Goodvibes is steered over it):
//   dbus-run-session -- xvfb-run -a build/bin/vandrel-playback-bench [runs]
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/MpvPlayer.h"
#include "support/ChildProcess.h"
#include "support/DirectoryServerProcess.h"
#include "support/Icecast.h"
#include "support/QtWait.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

QString Run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  process.waitForFinished(5000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

// Whether some stream of the named application is uncorked on the sound server.
bool Sounding(const QString& application) {
  for (const QString& input : Run("pactl", {"list", "sink-inputs"}).split("Sink Input #")) {
    if (input.contains("Corked: no") && input.contains("application.name = \"" + application)) return true;
  }
  return false;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// The first run is shown on its own: it pays for starting the engine (for
// the player, opening libmpv and its libraries).
void Report(const char* what, const std::vector<double>& ms) {
  std::printf("%-28s median %7.0f ms   min %7.0f   max %7.0f   first %7.0f   (%zu runs)\n", what, Median(ms),
              *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), ms.front(), ms.size());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::atoi(argv[1]) : 10;

  const fs::path runtime = fs::temp_directory_path() / ("vandrel-bench-pulse-" + std::to_string(::getpid()));
  fs::create_directories(runtime);
  const std::string socket = (runtime / "native").string();
  ::setenv("HOME", runtime.c_str(), 1);
  vandrel::test::ChildProcess pulse({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                                     "-L", "module-null-sink sink_name=null", "-L",
                                     "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
  vandrel::test::WaitUntil([&] { return fs::exists(socket); }, 10s);
  ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);

  vandrel::test::DirectoryServerProcess directory;
  vandrel::test::Icecast icecast(65536);  // as Icecast ships
  icecast.FeedMount("/radio.mp3", vandrel::test::Icecast::Feed::Mp3);
  icecast.FeedMount("/radio.ogg", vandrel::test::Icecast::Feed::OggVorbis);
  icecast.FeedHls("hls/live.m3u8");
  icecast.Publish("radio.pls", "[playlist]\nNumberOfEntries=1\nFile1=" + icecast.Address("radio.mp3") + "\n");
  const std::string tone = directory.baseAddress() + "stream/tone";

  const std::pair<const char*, std::string> streams[] = {
      {"local tone (WAV)", tone},
      {"Icecast MP3", icecast.Address("radio.mp3")},
      {"Icecast Ogg Vorbis", icecast.Address("radio.ogg")},
      {".pls to the MP3 mount", icecast.Address("radio.pls")},
      {"HLS (AAC, 1 s segments)", icecast.Address("hls/live.m3u8")},
  };
  vandrel::MpvPlayer player;
  std::printf("Vandrel Internet Radio (libmpv), address set to stream uncorked:\n");
  for (const auto& [what, address] : streams) {
    std::vector<double> ms, playing;
    for (int i = 0; i < runs; ++i) {
      QElapsedTimer clock;
      clock.start();
      qint64 firstFrame = -1;  // the player's own Playing: mpv's first audio frame in an open output
      const auto watch = QObject::connect(&player, &vandrel::MediaPlayer::stateChanged, &player, [&] {
        if (firstFrame < 0 && player.state().state == vandrel::PlayState::Playing) firstFrame = clock.elapsed();
      });
      player.setURL(address);
      if (vandrel::test::WaitUntil([] { return Sounding("Vandrel Internet Radio"); }, 15s)) ms.push_back(clock.elapsed());
      // Sounding() blocks on pactl, so Playing is seen late, never early.
      vandrel::test::WaitUntil([&] { return firstFrame >= 0; }, 2s);
      QObject::disconnect(watch);
      if (firstFrame >= 0) playing.push_back(firstFrame);
      player.close();
      vandrel::test::WaitUntil([] { return !Sounding("Vandrel Internet Radio"); }, 5s);
    }
    if (!ms.empty()) Report(what, ms);
    if (!playing.empty()) Report("  (to the player's Playing)", playing);
  }

  // A title change at the source, to the new title in the player.
  player.setURL(icecast.Address("radio.mp3"));
  vandrel::test::WaitUntil([&] { return player.state().state == vandrel::PlayState::Playing; }, 15s);
  std::vector<double> titles;
  for (int i = 0; i < std::min(runs, 5); ++i) {
    const std::string title = "Title " + std::to_string(i);
    QElapsedTimer clock;
    clock.start();
    icecast.SetTitle("/radio.mp3", title);
    if (vandrel::test::WaitUntil([&] { return player.streamTitle() == title; }, 20s)) titles.push_back(clock.elapsed());
  }
  if (!titles.empty()) Report("title change to title shown", titles);
  player.close();

  if (!QProcess::execute("sh", {"-c", "command -v goodvibes >/dev/null"})) {
    vandrel::test::ChildProcess goodvibes({"goodvibes", "--background"}, (runtime / "goodvibes.log").string());
    vandrel::test::WaitUntil([] { return Run("goodvibes-client", {"is-running"}).contains("true"); }, 10s);
    std::printf("Goodvibes 0.7.6 (GStreamer), same measure:\n");
    for (const auto& [what, address] : {streams[0], streams[2]}) {
      std::vector<double> ms;
      for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        QProcess::execute("goodvibes-client", {"play", QString::fromStdString(address)});
        if (vandrel::test::WaitUntil([] { return Sounding("Goodvibes"); }, 15s)) ms.push_back(clock.elapsed());
        QProcess::execute("goodvibes-client", {"stop"});
        vandrel::test::WaitUntil([] { return !Sounding("Goodvibes"); }, 5s);
      }
      if (!ms.empty()) Report(what, ms);
    }
    QProcess::execute("goodvibes-client", {"quit"});
  }
  ::unsetenv("PULSE_SERVER");
  pulse.Stop();
  fs::remove_all(runtime);
  return 0;
}
