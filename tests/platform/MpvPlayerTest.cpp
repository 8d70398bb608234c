#include "platform/MpvPlayer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "support/CannedServer.h"
#include "support/ChildProcess.h"
#include "support/CodePage.h"
#include "support/DirectoryServerProcess.h"
#include "support/Icecast.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;
using Options = std::map<std::string, std::string>;

// A player with every status it showed and every error it gave.
struct Watched {
  explicit Watched(Options options = {{"ao", "null"}}) : player(std::move(options)) {
    QObject::connect(&player, &MediaPlayer::stateChanged, [this] { statuses.push_back(player.status()); });
    QObject::connect(&player, &MediaPlayer::errorOccurred, [this](const QString& cause) {
      ++errors;
      causes.push_back(cause.toStdString());
    });
  }
  bool WaitFor(PlayState state, std::chrono::milliseconds limit = 15s) {
    return test::WaitUntil([&] { return player.state().state == state; }, limit);
  }
  bool Saw(const std::string& prefix) const {
    return std::any_of(statuses.begin(), statuses.end(), [&](const std::string& s) { return s.starts_with(prefix); });
  }
  MpvPlayer player;
  std::vector<std::string> statuses;
  int errors = 0;
  std::vector<std::string> causes;
};

class MpvPlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { tone_ = new test::DirectoryServerProcess(); }
  static void TearDownTestSuite() { delete tone_; }

  static inline test::DirectoryServerProcess* tone_ = nullptr;
};

TEST_F(MpvPlayerTest, EveryFormOfStreamPlaysWithItsTitle) {
  test::Icecast icecast;
  ASSERT_TRUE(icecast.FeedMount("/radio.mp3", test::Icecast::Feed::Mp3));
  ASSERT_TRUE(icecast.FeedMount("/radio.ogg", test::Icecast::Feed::OggVorbis));
  ASSERT_TRUE(icecast.FeedHls("hls/live.m3u8"));
  const std::string mp3 = icecast.Address("radio.mp3");
  icecast.Publish("radio.pls",
                  "[playlist]\nNumberOfEntries=1\nFile1=" + mp3 + "\nTitle1=Radio\nLength1=-1\nVersion=2\n");
  const std::string utf8 = "Hitradio \xC3\x96" "3 \xE2\x80\x93 Caf\xC3\xA9";
  struct Case {
    const char* what;
    std::string address;
    std::string titleBytes;  // set at the source when not empty
    std::string title;       // expected
  } cases[] = {
      {"MP3 mount, UTF-8 title", icecast.Address("radio.mp3"), utf8, utf8},
      {"MP3 mount, Latin-1 title", icecast.Address("radio.mp3"), "Caf\xE9 Z\xFCrich", "Caf\xC3\xA9 Z\xC3\xBCrich"},
      {"Ogg Vorbis comments", icecast.Address("radio.ogg"), "", "Ogg Artist - Ogg Title"},
      {".pls", icecast.Address("radio.pls"), "Via pls", "Via pls"},
      {"HLS", icecast.Address("hls/live.m3u8"), "", ""},
  };
  // Plays all along, to lose its server below.
  Watched kept;
  kept.player.setReconnectPauses({500ms, 1s, 2s, 4s, 8s});
  kept.player.setURL(mp3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.titleBytes.empty()) {
      ASSERT_TRUE(icecast.SetTitle("/radio.mp3", c.titleBytes));
    }
    Watched w;
    w.player.setURL(c.address);
    ASSERT_TRUE(w.WaitFor(PlayState::Playing)) << w.player.status();
    EXPECT_EQ(w.statuses.front(), "Connecting");
    EXPECT_FALSE(w.Saw("Stopped"));  // a playlist's own end is no stop
    if (!c.title.empty()) {
      EXPECT_TRUE(test::WaitUntil([&] { return w.player.streamTitle() == c.title; }, 10s)) << w.player.streamTitle();
      EXPECT_EQ(w.player.status(), "Playing: " + c.title);
    }
    test::Pump(300ms);
    EXPECT_EQ(w.player.state().state, PlayState::Playing);
    EXPECT_EQ(w.errors, 0);
  }

  // Icecast gone and back is reconnected.
  ASSERT_EQ(kept.player.state().state, PlayState::Playing) << kept.player.status();
  icecast.Stop();
  ASSERT_TRUE(kept.WaitFor(PlayState::Reconnecting, 10s)) << kept.player.status();
  test::Pump(1500ms);  // a try fails while it is down
  icecast.Start();
  ASSERT_TRUE(icecast.FeedMount("/radio.mp3", test::Icecast::Feed::Mp3));
  ASSERT_TRUE(kept.WaitFor(PlayState::Playing, 20s)) << kept.player.status();
  EXPECT_EQ(kept.errors, 0);
}

// Sources that send titles in a legacy code page: once a station has sent a
// few, the listener reads them right. The detector's edges: TitleCharsetTest.
TEST_F(MpvPlayerTest, TitlesInALegacyCodePageReadRightAfterAFew) {
  test::Icecast icecast;
  ASSERT_TRUE(icecast.FeedMount("/radio.mp3", test::Icecast::Feed::Mp3));
  for (const auto& station : test::LegacyStations()) {
    SCOPED_TRACE(station.charset);
    ASSERT_TRUE(icecast.SetTitle("/radio.mp3", "Station ident"));
    Watched w;
    w.player.setURL(icecast.Address("radio.mp3"));
    ASSERT_TRUE(test::WaitUntil([&] { return w.player.streamTitle() == "Station ident"; }, 15s)) << w.player.status();
    for (const std::string& title : station.titles) {
      const std::string before = w.player.streamTitle();
      ASSERT_TRUE(icecast.SetTitle("/radio.mp3", test::Encoded(title, station.charset)));
      ASSERT_TRUE(test::WaitUntil([&] { return w.player.streamTitle() != before; }, 10s));
    }
    EXPECT_EQ(w.player.streamTitle(), station.titles.back());
  }
}

// Each song of a chained Ogg stream brings its own tags; the title is the
// song's own, never the songs before joined to it. Both streams play at once.
TEST_F(MpvPlayerTest, ChainedOggStreamsShowTheCurrentSongOnly) {
  using Feed = test::Icecast::Feed;
  test::Icecast icecast;
  const struct {
    const char* mount;
    Feed feed;
  } cases[] = {{"/chain.opus", Feed::OggOpus}, {"/chain.ogg", Feed::OggVorbis}};
  const std::vector<test::Icecast::Song> songs = {
      {"Chain Artist", "Song One"}, {"Chain Artist", "Song Two"}, {"Chain Artist", "Song Three; Reprise"}};
  const std::vector<std::string> shown = {"Chain Artist - Song One", "Chain Artist - Song Two",
                                          "Chain Artist - Song Three; Reprise"};
  for (const auto& c : cases) ASSERT_TRUE(icecast.FeedChained(c.mount, c.feed, songs));
  std::vector<std::unique_ptr<Watched>> players;
  std::vector<std::vector<std::string>> titles(std::size(cases));  // as they changed
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    players.push_back(std::make_unique<Watched>());
    MpvPlayer& player = players.back()->player;
    QObject::connect(&player, &MediaPlayer::titleChanged, [&titles, &player, i] {
      if (!player.streamTitle().empty()) titles[i].push_back(player.streamTitle());
    });
    player.setURL(icecast.Address(cases[i].mount));
  }
  test::WaitUntil([&] {
    return std::all_of(players.begin(), players.end(), [&](auto& w) { return w->player.streamTitle() == shown[2]; });
  }, 30s);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].mount);
    EXPECT_EQ(players[i]->player.streamTitle(), shown[2]);
    // Joined while a song before the last played: the chain went on under it.
    EXPECT_GE(titles[i].size(), 2u);
    for (const std::string& title : titles[i]) {
      EXPECT_NE(std::find(shown.begin(), shown.end(), title), shown.end()) << title;
    }
  }
}

// Pausing and taking the stream up again are MprisTest's, on this player.
TEST_F(MpvPlayerTest, StopAndNewAddressesLeaveNothingBehind) {
  Watched w;
  test::CannedServer silent("");  // accepts, never answers
  w.player.setURL(silent.address() + "stream");
  test::Pump(300ms);
  const std::string tone = tone_->baseAddress() + "stream/tone";
  w.player.setURL(tone);
  ASSERT_TRUE(w.WaitFor(PlayState::Playing));
  w.player.close();
  EXPECT_EQ(w.player.status(), "Stopped");
  w.player.play();  // the stop left nothing that keeps the station from playing
  ASSERT_TRUE(w.WaitFor(PlayState::Playing));
  w.player.setURL("");
  EXPECT_EQ(w.player.status(), "Stopped");
  test::Pump(1s);
  EXPECT_EQ(w.player.status(), "Stopped");  // the closed stream's end changes nothing
  EXPECT_EQ(w.errors, 0);
}

// A station that cannot be had gives its one error at once, naming why; one
// whose sound cannot be output, after the tries. One player at a time: ffmpeg
// tells its causes to one player of a process.
TEST_F(MpvPlayerTest, StationsThatNeverPlayGiveOneErrorThatSaysWhy) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n";
  test::CannedServer notFound("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  test::CannedServer failing("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
  test::CannedServer page("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<!DOCTYPE html><html><body>" +
                          std::string(20000, 'x') + "</body></html>");
  test::CannedServer silent("");
  test::CannedServer stalled(head, {}, 0, true);
  const struct {
    std::string address;
    const char* output;
    std::string cause;
    bool tried;
  } cases[] = {{"http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/stream", "null", "connection refused", false},
               // A name the resolver refuses without asking the network.
               {"http://no_such_host!.invalid/stream", "null", "server not found", false},
               {notFound.address() + "stream", "null", "HTTP 404", false},
               {failing.address() + "stream", "null", "HTTP 500", false},
               {page.address() + "stream", "null", "not an audio stream", false},
               {silent.address() + "stream", "null", "no answer", false},
               {stalled.address() + "stream", "null", "no answer", false},
               {tone_->baseAddress() + "stream/tone", "pulse", "sound output failed", true}};
  ::setenv("PULSE_SERVER", "unix:/nonexistent/native", 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    Watched w(Options{{"ao", c.output}, {"network-timeout", "3"}});
    w.player.setReconnectPauses({100ms, 100ms, 100ms, 100ms, 100ms});
    w.player.setURL(c.address);
    EXPECT_TRUE(test::WaitUntil([&] { return w.errors > 0; }, 15s));
    test::Pump(300ms);
    EXPECT_EQ(w.causes, std::vector<std::string>{c.cause});
    EXPECT_EQ(w.player.status(), "Error: " + c.cause);
    EXPECT_EQ(w.Saw(c.tried ? "Reconnecting in 1 s (5/5)" : "Reconnecting"), c.tried);
    EXPECT_FALSE(w.Saw("Playing"));  // no sound was ever output
  }
  ::unsetenv("PULSE_SERVER");
}

// Tries start afresh only after steady play: a stream that keeps dying soon
// after it starts ends in one error instead of reconnecting for ever. Both
// players run at once.
TEST_F(MpvPlayerTest, DroppedStreamsAreReopenedAndTheirTriesRenewOnlyAfterSteadyPlay) {
  const std::string shortTone = tone_->baseAddress() + "stream/tone?seconds=2";
  Watched steady, unsteady, counting;
  steady.player.setReconnectPauses({200ms, 200ms, 200ms, 200ms, 200ms}, 1s);
  unsteady.player.setReconnectPauses({200ms, 200ms}, 10s);
  counting.player.setReconnectPauses({3s});
  steady.player.setURL(shortTone);
  unsteady.player.setURL(shortTone);
  counting.player.setURL(shortTone);
  for (int drop = 0; drop < 2; ++drop) {
    ASSERT_TRUE(steady.WaitFor(PlayState::Playing));
    ASSERT_TRUE(steady.WaitFor(PlayState::Reconnecting));
    EXPECT_EQ(steady.player.status(), "Reconnecting in 1 s (1/5)") << drop;
  }
  EXPECT_EQ(steady.errors, 0);
  ASSERT_TRUE(test::WaitUntil([&] { return unsteady.errors > 0; }, 20s)) << unsteady.player.status();
  EXPECT_TRUE(unsteady.Saw("Reconnecting in 1 s (2/2)"));
  EXPECT_EQ(unsteady.player.status(), "Error");
  EXPECT_EQ(unsteady.player.streamTitle(), "");  // the last song is over
  // The pause counts down.
  ASSERT_TRUE(test::WaitUntil([&] { return counting.Saw("Reconnecting in 1 s (1/1)"); }, 20s));
  EXPECT_TRUE(counting.Saw("Reconnecting in 3 s (1/1)") && counting.Saw("Reconnecting in 2 s (1/1)"));
}

// An https station is verified against the trusted certificates: a
// self-signed one is refused, and plays once its certificate is trusted.
TEST_F(MpvPlayerTest, AnHttpsStationPlaysOnlyWithATrustedCertificate) {
  const QTemporaryDir dir;
  const auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
  const int port = test::ClosedPort();
  QProcess made;
  made.start("sh", {"-c", QString("cd '%1' && openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
                                  "-addext subjectAltName=IP:127.0.0.1 -keyout key.pem -out cert.pem && "
                                  "ffmpeg -nostdin -loglevel error -f lavfi -i sine=d=60 -c:a libmp3lame tone.mp3")
                              .arg(dir.path())});
  ASSERT_TRUE(made.waitForFinished(60000) && made.exitCode() == 0) << made.readAllStandardError().toStdString();
  test::ChildProcess server({"sh", "-c", "cd '" + dir.path().toStdString() + "' && exec openssl s_server -quiet -WWW "
                             "-accept 127.0.0.1:" + std::to_string(port) + " -cert cert.pem -key key.pem"},
                            path("server.log"));
  const std::string address = "https://127.0.0.1:" + std::to_string(port) + "/tone.mp3";
  ASSERT_TRUE(test::WaitForListener(port, 10000));

  // One after the other: the server takes one client at a time.
  Watched untrusted;
  untrusted.player.setURL(address);
  ASSERT_TRUE(test::WaitUntil([&] { return untrusted.errors > 0; }, 15s)) << untrusted.player.status();
  test::Pump(200ms);
  EXPECT_EQ(untrusted.player.status(), "Error: certificate not trusted");
  EXPECT_EQ(untrusted.errors, 1);
  Watched trusted(Options{{"ao", "null"}, {"tls-ca-file", path("cert.pem")}});
  trusted.player.setURL(address);
  EXPECT_TRUE(trusted.WaitFor(PlayState::Playing)) << trusted.player.status();
  EXPECT_EQ(trusted.errors, 0);
}

// The sound server lists us by name and icon; a PulseAudio null sink stands
// in for the desktop's.
TEST_F(MpvPlayerTest, TheSoundServerShowsOurNameAndIcon) {
  const QTemporaryDir runtime(QDir::tempPath() + "/vandrel-pulse-XXXXXX");  // no blank: the socket is a module argument
  const std::string socket = runtime.filePath("native").toStdString();
  ::setenv("HOME", runtime.path().toUtf8().constData(), 1);
  test::ChildProcess pulse({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                            "-L", "module-null-sink sink_name=null",
                            "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket},
                           runtime.filePath("pulse.log").toStdString());
  ASSERT_TRUE(test::WaitUntil([&] { return std::filesystem::exists(socket); }, 10s));
  ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
  Watched w(Options{{"ao", "pulse"}});
  w.player.setURL(tone_->baseAddress() + "stream/tone");
  const bool playing = w.WaitFor(PlayState::Playing) &&
                       test::WaitUntil([&] { return w.player.streamTitle() == "Vandrel test tone - 440 Hz"; }, 10s);
  QString inputs;
  const auto named = [&] {
    QProcess pactl;
    pactl.start("pactl", {"list", "sink-inputs"});
    pactl.waitForFinished(5000);
    inputs = QString::fromUtf8(pactl.readAllStandardOutput());
    return inputs.contains("media.name = \"Vandrel test tone - 440 Hz\"");
  };
  const bool titled = test::WaitUntil(named, 5s);
  ::unsetenv("PULSE_SERVER");
  ASSERT_TRUE(playing) << w.player.status();
  EXPECT_TRUE(inputs.contains("application.name = \"Vandrel Internet Radio\"")) << inputs.toStdString();
  EXPECT_TRUE(inputs.contains("application.icon_name = \"org.vandrel.Radio\"")) << inputs.toStdString();
  EXPECT_TRUE(inputs.contains("Corked: no"));
  EXPECT_TRUE(titled) << inputs.toStdString();  // the title as the player cleaned it
}

// libmpv's two hundred libraries stay out of a program that has not played:
// linked, they cost every start, the one into the notification area too. They
// open on another thread; a play undone meanwhile stays undone, and a player
// gone meanwhile is not called.
TEST(MpvLibraryTest, OpensAtTheFirstPlayAndAPlayUndoneMeanwhileStaysUndone) {
  const auto loaded = [] {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
      if (line.find("/libmpv.so") != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_FALSE(loaded());
  auto gone = std::make_unique<MpvPlayer>(Options{{"ao", "null"}});
  gone->setURL("http://127.0.0.1:9/");
  gone.reset();  // while the library opens
  Watched w;
  w.player.setVolume(30);
  w.player.setURL("http://127.0.0.1:9/");
  EXPECT_EQ(w.player.state().state, PlayState::Connecting);
  w.player.close();
  ASSERT_TRUE(test::WaitUntil(loaded, 30s));
  test::Pump(500ms);
  EXPECT_EQ(w.player.state().state, PlayState::Stopped);
  EXPECT_EQ(w.errors, 0);
  w.player.setURL("http://127.0.0.1:9/");
  EXPECT_TRUE(test::WaitUntil([&] { return w.errors == 1; }, 15s));
  EXPECT_EQ(w.player.state().state, PlayState::Error);
}

}  // namespace
}  // namespace vandrel
