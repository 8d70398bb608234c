#include "platform/MpvPlayer.h"
#include "core/XmlPlaylist.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
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
    return test::WaitUntil([&] { return player.state().activity == state; }, limit);
  }
  bool Saw(const std::string& prefix) const {
    return std::any_of(statuses.begin(), statuses.end(), [&](const std::string& s) { return s.starts_with(prefix); });
  }
  MpvPlayer player;
  std::vector<std::string> statuses;
  int errors = 0;
  std::vector<std::string> causes;
};

// Until each player plays or has given its error, and a little longer.
void SettleAll(const std::vector<std::unique_ptr<Watched>>& players) {
  EXPECT_TRUE(test::WaitUntil(
      [&] {
        return std::all_of(players.begin(), players.end(), [](auto& w) {
          return w->errors > 0 || w->player.state().activity == PlayState::Playing;
        });
      },
      30s));
  test::Pump(500ms);
}

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
  icecast.Publish("nested.pls", "[playlist]\nNumberOfEntries=1\nFile1=" + icecast.Address("radio.asx") + "\n");
  // libmpv reads neither ASX nor XSPF; both start with a dead entry.
  const std::string dead = "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/gone";
  icecast.Publish("radio.asx", "<asx version=\"3.0\"><entry><ref href=\"" + dead + "\"/></entry>"
                               "<entry><title>Radio</title><ref href=\"" + mp3 + "\"/></entry></asx>");
  icecast.Publish("radio.xspf", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><playlist version=\"1\" "
                                "xmlns=\"http://xspf.org/ns/0/\"><trackList><track><location>" + dead +
                                "</location></track><track><location>" + mp3 + "</location></track></trackList></playlist>");
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
      {".pls of an .asx", icecast.Address("nested.pls"), "Via nested", "Via nested"},
      {".asx", icecast.Address("radio.asx"), "Via asx", "Via asx"},
      {".xspf", icecast.Address("radio.xspf"), "Via xspf", "Via xspf"},
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
    EXPECT_FALSE(w.Saw("Error"));    // nor is a dead entry
    if (!c.title.empty()) {
      EXPECT_TRUE(test::WaitUntil([&] { return w.player.streamTitle() == c.title; }, 10s)) << w.player.streamTitle();
      EXPECT_EQ(w.player.status(), "Playing: " + c.title);
    }
    test::Pump(300ms);
    EXPECT_EQ(w.player.state().activity, PlayState::Playing);
    EXPECT_EQ(w.errors, 0);
  }

  // Icecast gone and back is reconnected.
  ASSERT_EQ(kept.player.state().activity, PlayState::Playing) << kept.player.status();
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

// Answers /CODE/N with a redirect of that code to /CODE/N-1, and /CODE/0 with
// one to the final address.
class Redirector {
 public:
  explicit Redirector(std::string final) : final_(std::move(final)) {}
  ~Redirector() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
  }
  std::string address(int code, int count) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + std::to_string(code) + "/" + std::to_string(count);
  }

 private:
  void run() {
    for (pollfd p{listener_, POLLIN, 0}; !stopping_;) {
      const int fd = ::poll(&p, 1, 50) > 0 ? ::accept(listener_, nullptr, nullptr) : -1;
      if (fd < 0) continue;
      const std::string head = test::ReadHead(fd, 2s);
      int code = 0, count = 0;
      std::sscanf(head.c_str(), "GET /%d/%d", &code, &count);
      const std::string reply = "HTTP/1.1 " + std::to_string(code) + " Moved\r\nLocation: " +
                                (count > 1 ? address(code, count - 1) : final_) +
                                "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      (void)::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
      ::close(fd);
    }
  }

  std::string final_;
  int port_ = 0;
  int listener_ = test::ListenOnLoopback(port_);
  std::atomic<bool> stopping_{false};
  std::thread thread_{[this] { run(); }};
};

// Up to 20 redirects of every kind are followed; the 21st is one error. All run at once.
TEST_F(MpvPlayerTest, RedirectChainsUpTo20AreFollowed) {
  Redirector redirector(tone_->baseAddress() + "stream/tone");
  const struct {
    int code;
    int count;
    bool plays;
  } cases[] = {{301, 5, true}, {302, 5, true}, {303, 5, true}, {307, 5, true},
               {308, 5, true}, {302, 20, true}, {307, 21, false}};
  std::vector<std::unique_ptr<Watched>> players;
  for (const auto& c : cases) {
    players.push_back(std::make_unique<Watched>());
    players.back()->player.setReconnectPauses({});
    players.back()->player.setURL(redirector.address(c.code, c.count));
  }
  SettleAll(players);
  for (std::size_t i = 0; i < players.size(); ++i) {
    SCOPED_TRACE(redirector.address(cases[i].code, cases[i].count));
    EXPECT_EQ(players[i]->player.state().activity, cases[i].plays ? PlayState::Playing : PlayState::Error);
    EXPECT_EQ(players[i]->errors, cases[i].plays ? 0 : 1);
  }
}

// A playlist is followed in time linear in its length: the window answers
// all along, through thousands of dead entries, the live one and its end.
TEST_F(MpvPlayerTest, AHugePlaylistKeepsTheWindowAnswering) {
  const std::string dead = "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/";
  std::string body = "#EXTM3U\n";
  for (int i = 0; i < 20000; ++i) {
    body += i == 10000 ? tone_->baseAddress() + "stream/tone?seconds=1\n" : dead + std::to_string(i) + "\n";
  }
  test::CannedServer server("HTTP/1.1 200 OK\r\nContent-Type: audio/x-mpegurl\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
  Watched w;
  w.player.setReconnectPauses({});
  test::LoopGap gap(50ms);
  gap.start();
  // The window's own loop: QTest's waits sleep between their rounds.
  QEventLoop loop;
  QObject::connect(&w.player, &MediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
  QTimer::singleShot(120s, &loop, &QEventLoop::quit);
  w.player.setURL(server.address() + "big.m3u");
  loop.exec();
  EXPECT_EQ(w.errors, 1) << w.player.status();
  test::Pump(500ms);
  EXPECT_LT(gap.longest(), 1s);
  EXPECT_TRUE(w.Saw("Playing"));
  EXPECT_EQ(w.errors, 1);
  EXPECT_EQ(w.player.status(), "Error: connection refused");  // its last entry's cause
}

// An ASX or XSPF playlist of which nothing plays is one error, whatever its
// server; it is read only up to its bound. All run at once.
TEST_F(MpvPlayerTest, XmlPlaylistsThatPlayNothingGiveOneError) {
  const std::string dead = "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/gone";
  const std::string tone = tone_->baseAddress() + "stream/tone";
  const auto served = [](const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: video/x-ms-asf\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
  };
  const struct {
    const char* what;
    std::string body;
    bool plays;
  } cases[] = {
      {"dead entries only", "<asx><entry><ref href=\"" + dead + "\"/><ref href=\"" + dead + "2\"/></entry></asx>", false},
      {"no web radio", "<asx><entry><ref href=\"file:///dev/zero\"/></entry></asx>", false},
      {"the live entry past the bound",
       "<asx><entry><ref href=\"" + dead + "\"/></entry>" + std::string(kMaxXmlPlaylistBytes, ' ') +
           "<entry><ref href=\"" + tone + "\"/></entry></asx>",
       false},
      {"the live entry within the bound", "<asx><entry><ref href=\"" + tone + "\"/></entry></asx>", true},
  };
  std::vector<std::unique_ptr<test::CannedServer>> servers;
  std::vector<std::unique_ptr<Watched>> players;
  for (const auto& c : cases) {
    servers.push_back(std::make_unique<test::CannedServer>(served(c.body)));
    players.push_back(std::make_unique<Watched>());
    players.back()->player.setURL(servers.back()->address() + "listen.asx");
  }
  SettleAll(players);
  for (std::size_t i = 0; i < players.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    EXPECT_EQ(players[i]->player.state().activity, cases[i].plays ? PlayState::Playing : PlayState::Error);
    EXPECT_EQ(players[i]->errors, cases[i].plays ? 0 : 1);
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
  EXPECT_EQ(w.player.state().activity, PlayState::Connecting);
  w.player.close();
  ASSERT_TRUE(test::WaitUntil(loaded, 30s));
  test::Pump(500ms);
  EXPECT_EQ(w.player.state().activity, PlayState::Stopped);
  EXPECT_EQ(w.errors, 0);
  w.player.setURL("http://127.0.0.1:9/");
  EXPECT_TRUE(test::WaitUntil([&] { return w.errors == 1; }, 15s));
  EXPECT_EQ(w.player.state().activity, PlayState::Error);
}

}  // namespace
}  // namespace vandrel
