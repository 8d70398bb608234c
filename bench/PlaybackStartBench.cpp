// Click to sound: from handing the player an address to audio flowing into
// a PulseAudio null sink (its stream uncorked), for each kind of stream, with
// Goodvibes (goodvibes-client) and Strawberry (MPRIS OpenUri) measured the same
// way in the same run. Each program is started afresh for each kind of stream
// and left idle for a while first, so "first" is the first play after a start
// and "later" the median of the plays after it. Ours is also timed with
// libmpv opened ahead (the window's early open), and the open itself, which
// splits the first play into open, mpv's start and its audio output, and the
// stream's own connect, probe and decode (the later plays). Also the delay
// from a title change at an Icecast source to the player's title.
//
// Run on a session bus (Goodvibes and Strawberry are steered over it):
//   dbus-run-session -- xvfb-run -a build/bin/vandrel-playback-bench [runs]
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/MpvLibrary.h"
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

// What a program did on one kind of stream: its first play and the median of the later ones, in ms.
struct Plays {
  std::optional<double> first;
  std::optional<double> later;
};

Plays PlaysOf(const std::vector<double>& ms) {
  Plays plays;
  if (!ms.empty()) plays.first = ms.front();
  if (ms.size() > 1) plays.later = Median({ms.begin() + 1, ms.end()});
  return plays;
}

// The program is idle a while before the first click, as a person would leave it.
constexpr auto kIdle = 2s;

// Times `runs` plays, each from `play` to the application's stream uncorked.
std::vector<double> TimePlays(int runs, const QString& application, const std::function<void()>& play,
                              const std::function<void()>& stop) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer clock;
    clock.start();
    play();
    const bool sounded = vandrel::test::WaitUntil([&] { return Sounding(application); }, 15s);
    if (sounded) ms.push_back(clock.elapsed());
    stop();
    vandrel::test::WaitUntil([&] { return !Sounding(application); }, 5s);
    if (!sounded) break;  // a kind of stream the program does not play
  }
  return ms;
}

// In a process of its own: the player's plays of one address, printed as
// "sound ms" lines; with "open", libmpv is opened ahead and the time of that
// open printed first as "open ms".
// VANDREL_BENCH_MPV_LOG=FILE writes mpv's log, with times, of where they go.
int Child(const std::string& address, int runs, bool openAhead) {
  std::map<std::string, std::string> options;
  if (const char* log = std::getenv("VANDREL_BENCH_MPV_LOG")) options["log-file"] = log;
  vandrel::MpvPlayer player(options);
  if (openAhead) {
    QElapsedTimer clock;
    clock.start();
    std::string ignored;
    vandrel::OpenMpvLibrary(ignored);
    std::printf("open %lld\n", clock.elapsed());
    player.prepare();
  }
  vandrel::test::Pump(kIdle);
  for (double ms : TimePlays(
           runs, "Vandrel Internet Radio", [&] { player.setURL(address); }, [&] { player.close(); })) {
    std::printf("sound %.0f\n", ms);
  }
  return 0;
}

struct ChildPlays {
  Plays plays;
  std::optional<double> open;
};

ChildPlays RunChild(const std::string& address, int runs, bool openAhead) {
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QCoreApplication::applicationFilePath(),
              {"--child", QString::fromStdString(address), QString::number(runs), openAhead ? "open" : "cold"});
  child.waitForFinished(runs * 25000 + 10000);
  ChildPlays result;
  std::vector<double> ms;
  std::istringstream lines(child.readAllStandardOutput().toStdString());
  for (std::string word; lines >> word;) {
    double value = 0;
    lines >> value;
    if (word == "sound") ms.push_back(value);
    if (word == "open") result.open = value;
  }
  result.plays = PlaysOf(ms);
  return result;
}

bool HasBusName(const QString& name) {
  return Run("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
                           "org.freedesktop.DBus.NameHasOwner", "string:" + name})
      .contains("true");
}

void Mpris(const QString& method, const QStringList& args = {}) {
  QProcess::execute("dbus-send", QStringList{"--session", "--type=method_call", "--dest=org.mpris.MediaPlayer2.strawberry",
                                             "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player." + method} +
                                     args);
}

bool Installed(const char* program) {
  return QProcess::execute("sh", {"-c", QString("command -v ") + program + " >/dev/null"}) == 0;
}

QString Ms(const std::optional<double>& ms) { return ms ? QString::number(*ms, 'f', 0) : QString("-"); }

QString Ratio(const std::optional<double>& ours, std::optional<double> a, std::optional<double> b) {
  std::optional<double> fastest = a;
  if (b && (!fastest || *b < *fastest)) fastest = b;
  if (!ours || !fastest || *fastest <= 0) return "-";
  return QString::number(*ours / *fastest, 'f', 2);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc == 5 && std::string(argv[1]) == "--child") {
    return Child(argv[2], std::atoi(argv[3]), std::string(argv[4]) == "open");
  }
  const int runs = argc > 1 ? std::max(2, std::atoi(argv[1])) : 5;

  const fs::path runtime = fs::temp_directory_path() / ("vandrel-bench-pulse-" + std::to_string(::getpid()));
  fs::create_directories(runtime);
  const std::string socket = (runtime / "native").string();
  ::setenv("HOME", runtime.c_str(), 1);
  // Strawberry and Goodvibes keep their settings and playlists here, not in the user's.
  ::setenv("XDG_CONFIG_HOME", (runtime / "config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (runtime / "data").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (runtime / "cache").c_str(), 1);
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

  const std::pair<const char*, std::string> streams[] = {
      {"local tone (WAV)", directory.baseAddress() + "stream/tone"},
      {"Icecast MP3", icecast.Address("radio.mp3")},
      {"Icecast Ogg Vorbis", icecast.Address("radio.ogg")},
      {".pls to the MP3 mount", icecast.Address("radio.pls")},
      {"HLS (AAC, 1 s segments)", icecast.Address("hls/live.m3u8")},
  };
  struct Row {
    ChildPlays cold, ahead;
    Plays goodvibes, strawberry;
  };
  std::vector<Row> rows(std::size(streams));
  for (std::size_t i = 0; i < std::size(streams); ++i) {
    rows[i].cold = RunChild(streams[i].second, runs, false);
    rows[i].ahead = RunChild(streams[i].second, 1, true);
  }

  const bool goodvibes = Installed("goodvibes");
  for (std::size_t i = 0; goodvibes && i < std::size(streams); ++i) {
    vandrel::test::ChildProcess program({"goodvibes", "--background"}, (runtime / "goodvibes.log").string());
    vandrel::test::WaitUntil([] { return Run("goodvibes-client", {"is-running"}).contains("true"); }, 10s);
    vandrel::test::Pump(kIdle);
    const QString address = QString::fromStdString(streams[i].second);
    rows[i].goodvibes = PlaysOf(TimePlays(
        runs, "Goodvibes", [&] { QProcess::execute("goodvibes-client", {"play", address}); },
        [] { QProcess::execute("goodvibes-client", {"stop"}); }));
    QProcess::execute("goodvibes-client", {"quit"});
  }
  const bool strawberry = Installed("strawberry");
  for (std::size_t i = 0; strawberry && i < std::size(streams); ++i) {
    vandrel::test::ChildProcess program({"strawberry"}, (runtime / "strawberry.log").string());
    vandrel::test::WaitUntil([] { return HasBusName("org.mpris.MediaPlayer2.strawberry"); }, 15s);
    vandrel::test::Pump(kIdle);
    const QString address = QString::fromStdString(streams[i].second);
    rows[i].strawberry = PlaysOf(TimePlays(
        runs, "Strawberry", [&] { Mpris("OpenUri", {"string:" + address}); }, [] { Mpris("Stop"); }));
    program.Stop();
  }

  std::printf("Address given to stream uncorked, ms (first play after a start; median of the %d later plays)\n",
              runs - 1);
  std::printf("%-25s %12s %12s %7s %12s %12s %12s %12s\n", "", "ours first", "opened ahead", "later", "Goodvibes 1st",
              "later", "Strawberry 1st", "later");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    std::printf("%-25s %12s %12s %7s %12s %12s %12s %12s\n", streams[i].first, qPrintable(Ms(r.cold.plays.first)),
                qPrintable(Ms(r.ahead.plays.first)), qPrintable(Ms(r.cold.plays.later)),
                qPrintable(Ms(r.goodvibes.first)), qPrintable(Ms(r.goodvibes.later)),
                qPrintable(Ms(r.strawberry.first)), qPrintable(Ms(r.strawberry.later)));
  }
  std::printf("\nOurs / the fastest of Goodvibes and Strawberry (goal <= 1.2)\n");
  std::printf("%-25s %12s %12s %7s\n", "", "first", "opened ahead", "later");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    std::printf("%-25s %12s %12s %7s\n", streams[i].first,
                qPrintable(Ratio(r.cold.plays.first, r.goodvibes.first, r.strawberry.first)),
                qPrintable(Ratio(r.ahead.plays.first, r.goodvibes.first, r.strawberry.first)),
                qPrintable(Ratio(r.cold.plays.later, r.goodvibes.later, r.strawberry.later)));
  }
  if (rows[0].ahead.open) std::printf("\nOpening libmpv and its libraries: %.0f ms\n", *rows[0].ahead.open);
  std::fflush(stdout);

  // A title change at the source, to the new title in the player.
  vandrel::MpvPlayer player;
  player.setURL(icecast.Address("radio.mp3"));
  vandrel::test::WaitUntil([&] { return player.state().activity == vandrel::PlayState::Playing; }, 15s);
  std::vector<double> titles;
  for (int i = 0; i < std::min(runs, 5); ++i) {
    const std::string title = "Title " + std::to_string(i);
    QElapsedTimer clock;
    clock.start();
    icecast.SetTitle("/radio.mp3", title);
    if (vandrel::test::WaitUntil([&] { return player.streamTitle() == title; }, 20s)) titles.push_back(clock.elapsed());
  }
  if (!titles.empty()) std::printf("title change to title shown: median %.0f ms (%zu runs)\n", Median(titles), titles.size());
  player.close();
  ::unsetenv("PULSE_SERVER");
  pulse.Stop();
  fs::remove_all(runtime);
  return 0;
}
