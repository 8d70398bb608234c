// The player and the HTTP client against real servers on loopback.
#include "core/TextDecoding.h"
#include "core/XmlPlaylist.h"
#include "platform/MpvPlayer.h"
#include "platform/QtHttpClient.h"
#include "platform/XmlPlaylistFetch.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <cstdlib>
#include <thread>
#include <tuple>

#include "support/CannedServer.h"
#include "support/DirectoryServerProcess.h"
#include "support/GzipText.h"
#include "support/Icecast.h"
#include "support/Memory.h"
#include "support/Nginx.h"
#include "support/QtWait.h"

namespace vandrel {
namespace {

using namespace std::chrono_literals;
using Options = std::map<std::string, std::string>;

std::string Dead() { return "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/gone"; }

// openssl's file server on loopback (one client at a time) under a self-signed certificate for 127.0.0.1;
// `files` makes what it serves, whole answers in `-HTTP` mode (Qt waits out its close-delimited `-WWW` ones).
struct TlsServer {
  explicit TlsServer(const std::string& files, const std::string& mode = "-WWW") : server({"sh", "-c", "cd '" +
      folder.path().string() + "' && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
      "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout key.pem -out cert.pem && " + files +
      " && exec openssl s_server -quiet " + mode + " -accept 127.0.0.1:" + std::to_string(port) +
      " -cert cert.pem -key key.pem"}, (folder / "server.log").string()) {}
  bool Up() const { return test::WaitForListener(port, 60000); }
  std::string address(const std::string& file) const { return "https://127.0.0.1:" + std::to_string(port) + "/" + file; }
  test::TempFolder folder{"tls"};
  int port = test::ClosedPort();
  test::ChildProcess server;
};

// A player with every status, title and error it gave; each signal carries what the player holds, and only a change.
struct Watched {
  explicit Watched(Options options = {{"ao", "null"}}) : player(std::move(options)) {
    QObject::connect(&player, &MediaPlayer::stateChanged, [this](const PlayerState& state) {
      EXPECT_TRUE(state == player.state() && (states.empty() || !(state == states.back()))) << player.status();
      states.push_back(state);
      shown.push_back(StatusText(state, ""));  // without the stream's titles
    });
    QObject::connect(&player, &MediaPlayer::titleChanged, [this](const QString& title) {
      EXPECT_TRUE(title.toStdString() == player.streamTitle() && (titles.empty() || title != titles.back()));
      titles.push_back(title);
    });
    QObject::connect(&player, &MediaPlayer::volumeChanged, [this](int v) { EXPECT_EQ(v, player.volume()); volumes.push_back(v); });
    QObject::connect(&player, &MediaPlayer::errorOccurred, [this](const QString& c) { causes.push_back(c.toStdString()); });
  }
  bool WaitFor(PlayState state) { return test::WaitUntil([&] { return player.state().activity == state; }, 15s); }
  bool Saw(const std::string& p) const { return std::ranges::any_of(shown, [&](auto& s) { return s.starts_with(p); }); }
  std::size_t errors() const { return causes.size(); }
  MpvPlayer player;
  std::vector<PlayerState> states;
  std::vector<std::string> shown;
  std::vector<QString> titles;
  std::vector<int> volumes;
  std::vector<std::string> causes;
};

class MpvPlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tone_ = new test::DirectoryServerProcess();
    redirects_ = new test::NginxProcess([](int port) {  // /n redirects n times on to the tone
      std::string http = "server {\n listen 127.0.0.1:" + std::to_string(port) + ";\n";
      for (int n = 1; n <= 21; ++n)
        http += " location = /" + std::to_string(n) + " { return 307 " +
                (n > 1 ? "http://127.0.0.1:" + std::to_string(port) + "/" + std::to_string(n - 1) : Tone()) + "; }\n";
      return http + "}";
    });
  }
  static void TearDownTestSuite() { delete redirects_, delete tone_; }
  static std::string Tone(const std::string& query = "") { return tone_->baseAddress() + "stream/tone" + query; }
  static std::string Redirected(int n) { return "http://127.0.0.1:" + std::to_string(redirects_->port()) + "/" + std::to_string(n); }
  static inline test::DirectoryServerProcess* tone_ = nullptr;
  static inline test::NginxProcess* redirects_ = nullptr;
};

// Every form of stream plays with its title, read in its code page (UTF-8 titles: MprisTest).
TEST_F(MpvPlayerTest, EveryFormOfStreamPlaysWithItsTitleReadRight) {
  using Feed = test::Icecast::Feed;
  test::Icecast icecast({{"/radio.mp3", Feed::Mp3}, {"/radio.ogg", Feed::OggVorbis}});
  ASSERT_TRUE(icecast.FeedHls("hls/live.m3u8"));
  ASSERT_TRUE(icecast.FeedChained("/chain.opus", Feed::OggOpus, {{"A", "One"}, {"A", "Two"}, {"A", "Three; Reprise"}}));
  // libmpv reads no ASX (nor XSPF: one reader, XmlPlaylistTest's), and a dead entry first is no stop.
  icecast.Publish("radio.pls", "[playlist]\nNumberOfEntries=1\nFile1=" + icecast.Address("radio.asx") + "\n");
  icecast.Publish("radio.asx", "<asx version=\"3.0\"><entry><ref href=\"" + Dead() + "\"/></entry><entry><title>Radio"
                               "</title><ref href=\"" + icecast.Address("radio.mp3") + "\"/></entry></asx>");
  const std::tuple<std::string, std::string, std::vector<std::string>> cases[] = {  // the address, title sent, shown
      // Each song of a chained Ogg Opus stream brings its own tags, never joined to the songs before.
      {icecast.Address("chain.opus"), "", {"A - One", "A - Two", "A - Three; Reprise"}},
      {icecast.Address("radio.mp3"), "Caf\xE9 Z\xFCrich", {"Caf\xC3\xA9 Z\xC3\xBCrich"}},
      {icecast.Address("radio.ogg"), "", {"Ogg Artist - Ogg Title"}},
      {icecast.Address("radio.pls"), "Via pls and asx", {"Via pls and asx"}},
      {icecast.Address("hls/live.m3u8"), "", {""}},
      {Redirected(20), "", {"Vandrel test tone - 440 Hz"}}};  // as many redirects as browsers follow
  for (const auto& [address, sent, shown] : cases) {
    SCOPED_TRACE(address);
    if (!sent.empty()) { ASSERT_TRUE(icecast.SetTitle("/radio.mp3", sent)); }
    Watched w;
    w.player.setURL(address);
    ASSERT_TRUE(w.WaitFor(PlayState::Playing)) << w.player.status();
    EXPECT_EQ(w.shown.front(), "Connecting");
    EXPECT_FALSE(w.Saw("Stopped") || w.Saw("Error"));  // a playlist's own end is no stop, nor is a dead entry
    EXPECT_TRUE(test::WaitUntil([&] { return w.player.streamTitle() == shown.back(); }, 30s)) << w.player.streamTitle();
    for (const QString& t : w.titles) EXPECT_TRUE(t.isEmpty() || std::ranges::count(shown, t.toStdString())) << qPrintable(t);
    EXPECT_TRUE(shown.size() == 1 || std::ranges::count_if(w.titles, [](auto& t) { return !t.isEmpty(); }) >= 2);  // joined mid-chain
    test::Pump(300ms);
    EXPECT_EQ(w.player.state().activity, PlayState::Playing);
    EXPECT_EQ(w.errors(), 0u);
  }
}

// Followed in time linear in its length: the window answers through thousands of dead entries, the live one, the end.
TEST_F(MpvPlayerTest, AHugePlaylistKeepsTheWindowAnswering) {
  const std::string dead = "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/";
  std::string body = "#EXTM3U\n";
  for (int i = 0; i < 20000; ++i) body += i == 10000 ? Tone("?seconds=1") + "\n" : dead + std::to_string(i) + "\n";
  test::CannedServer server("HTTP/1.1 200 OK\r\nContent-Type: audio/x-mpegurl\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
  Watched w;
  w.player.setReconnectPauses({});
  test::LoopGap gap(50ms);
  gap.start();
  QEventLoop loop;  // the window's own loop: QTest's waits sleep between their rounds
  QObject::connect(&w.player, &MediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
  QTimer::singleShot(120s, &loop, &QEventLoop::quit);
  w.player.setURL(server.address() + "big.m3u");
  loop.exec();
  test::Pump(500ms);
  EXPECT_LT(gap.longest(), 1s);
  EXPECT_TRUE(w.Saw("Playing"));
  EXPECT_EQ(w.errors(), 1u);
  EXPECT_EQ(w.player.status(), "Error: connection refused");  // its last entry's cause
}

// Pausing and taking the stream up again are MprisTest's, on this player.
TEST_F(MpvPlayerTest, CommandsLeaveNothingBehind) {
  Watched w;
  for (const int asked : {30, 30, 150, -5}) w.player.setVolume(asked);
  EXPECT_EQ(w.volumes, (std::vector<int>{30, 100, 0}));
  w.player.pause();  // nothing plays: nothing to pause
  w.player.setURL("file:///etc/passwd");
  w.player.pause();
  EXPECT_EQ(w.shown, std::vector<std::string>{"Error: not a web radio address"});
  test::CannedServer silent("");  // accepts, never answers
  w.player.setURL(silent.address() + "stream");
  test::Pump(300ms);
  w.player.setURL(Tone());
  ASSERT_TRUE(w.WaitFor(PlayState::Playing));
  w.player.close();
  EXPECT_EQ(w.player.status(), "Stopped");
  w.player.pause();
  w.player.play();  // the stop left nothing that keeps the station from playing
  ASSERT_TRUE(w.WaitFor(PlayState::Playing));
  w.player.setURL("");
  EXPECT_EQ(w.player.status(), "Stopped");
  test::Pump(1s);
  EXPECT_EQ(w.player.status(), "Stopped");  // the closed stream's end changes nothing
  EXPECT_EQ(w.causes, std::vector<std::string>{"not a web radio address"});
  EXPECT_FALSE(w.Saw("Paused"));
}

// One error at once, naming why where it can; after the tries when the sound cannot be output. One player
// at a time: ffmpeg tells its causes to one player of a process, and openssl's server takes one client.
TEST_F(MpvPlayerTest, StationsThatNeverPlayGiveOneErrorThatSaysWhy) {
  const TlsServer tls("ffmpeg -nostdin -loglevel error -f lavfi -i sine=d=60 -c:a libmp3lame tone.mp3");
  const std::string https = tls.address("tone.mp3");
  ASSERT_TRUE(tls.Up()) << test::ReadFile(tls.folder / "server.log");
  test::CannedServer notFound("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  test::CannedServer page("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<!DOCTYPE html><html><body>" +
                          std::string(20000, 'x') + "</body></html>");
  test::CannedServer silent("");
  const std::string asx = "<asx><ref href=\"" + Dead() + "\"/>" + std::string(kMaxXmlPlaylistBytes, ' ') +
                          "<ref href=\"" + Tone() + "\"/></asx>";
  test::CannedServer pastTheBound("HTTP/1.1 200 OK\r\nContent-Type: video/x-ms-asf\r\nContent-Length: " +
                                  std::to_string(asx.size()) + "\r\nConnection: close\r\n\r\n" + asx);
  const std::pair<std::string, std::string> cases[] = {  // the address, the cause given
      {Dead(), "connection refused"}, {notFound.address() + "stream", "HTTP 404"},
      {"http://no_such_host!.invalid/stream", "server not found"},  // refused without asking the network
      {page.address() + "stream", "not an audio stream"}, {silent.address() + "stream", "no answer"},
      {Tone(), "sound output failed"}, {https, "certificate not trusted"},
      {Redirected(21), ""},  // a redirect more than browsers follow
      {pastTheBound.address() + "past-the-bound.asx", "not an audio stream"}};
  ::setenv("PULSE_SERVER", "unix:/nonexistent/native", 1);
  for (const auto& [address, cause] : cases) {
    SCOPED_TRACE(address);
    Watched w(Options{{"ao", address == Tone() ? "pulse" : "null"}, {"network-timeout", "3"}});
    w.player.setReconnectPauses({100ms, 100ms});
    w.player.setURL(address);
    EXPECT_TRUE(test::WaitUntil([&] { return w.errors() > 0; }, 15s));
    test::Pump(300ms);
    EXPECT_EQ(w.causes, std::vector<std::string>{cause});
    EXPECT_EQ(w.player.status(), cause.empty() ? "Error" : "Error: " + cause);
    EXPECT_FALSE(w.Saw("Playing"));  // no sound was ever output
  }
  Watched trusted(Options{{"ao", "null"}, {"tls-ca-file", (tls.folder / "cert.pem").string()}});
  trusted.player.setURL(https);
  EXPECT_TRUE(trusted.WaitFor(PlayState::Playing)) << trusted.player.status();
  EXPECT_EQ(trusted.errors(), 0u);
}

// A stream that drops is opened again after the pause, counted down; then one error when its tries are spent.
TEST_F(MpvPlayerTest, ADroppedStreamIsReopenedUntilItsTriesAreSpent) {
  Watched w;
  w.player.setReconnectPauses({3s});
  w.player.setURL(Tone("?seconds=2"));
  ASSERT_TRUE(test::WaitUntil([&] { return w.errors() > 0; }, 30s)) << w.player.status();
  std::vector<std::string> seen = w.shown;  // a tick late on a busy machine may pass the 2 s by
  std::erase_if(seen, [](auto& s) { return s == "Connecting" || s.starts_with("Buffering") || s == "Reconnecting in 2 s (1/1)"; });
  EXPECT_EQ(seen, (std::vector<std::string>{"Playing", "Reconnecting in 3 s (1/1)", "Reconnecting in 1 s (1/1)",
                                            "Playing", "Error"}));
  EXPECT_EQ(w.player.streamTitle(), "");  // the last song is over
  EXPECT_EQ(w.errors(), 1u);
}

// The sound server lists us by name and icon; a PulseAudio null sink stands in for the desktop's.
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
  w.player.setURL(Tone());
  QString inputs;
  const bool listed = test::WaitUntil([&] {
    QProcess pactl;
    pactl.start("pactl", {"list", "sink-inputs"}), pactl.waitForFinished(5000);
    inputs = QString::fromUtf8(pactl.readAllStandardOutput());
    return inputs.contains("media.name = \"Vandrel test tone - 440 Hz\"");  // the title as the player cleaned it
  }, 20s);
  ::unsetenv("PULSE_SERVER");
  EXPECT_TRUE(listed && inputs.contains("application.name = \"Vandrel Internet Radio\"") &&
              inputs.contains("application.icon_name = \"org.vandrel.Radio\"") && inputs.contains("Corked: no"))
      << w.player.status() << "\n" << inputs.toStdString();
}

// libmpv's 200 libraries cost every start: opened at the first play off this thread; a play undone meanwhile stays so.
void OpensAtTheFirstPlay() {
  const auto loaded = [] { return test::ReadFile("/proc/self/maps").find("/libmpv.so") != std::string::npos; };
  EXPECT_FALSE(loaded());
  auto gone = std::make_unique<MpvPlayer>(Options{{"ao", "null"}});
  gone->setURL("http://127.0.0.1:9/");
  gone.reset();  // while the library opens: a player gone meanwhile is never called
  Watched w;
  w.player.setURL("http://127.0.0.1:9/");
  EXPECT_EQ(w.player.state().activity, PlayState::Connecting);
  w.player.close();
  EXPECT_TRUE(test::WaitUntil(loaded, 30s));
  test::Pump(500ms);
  EXPECT_EQ(w.player.state().activity, PlayState::Stopped);
  EXPECT_EQ(w.errors(), 0u);
  w.player.setURL("http://127.0.0.1:9/");
  EXPECT_TRUE(test::WaitUntil([&] { return w.errors() == 1; }, 15s));
  EXPECT_EQ(w.player.state().activity, PlayState::Error);
  std::fflush(nullptr), std::_Exit(::testing::Test::HasFailure() ? 1 : 0);  // mpv's threads may still run
}

TEST(MpvLibraryTest, OpensAtTheFirstPlayAndAPlayUndoneMeanwhileStaysUndone) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // in a process of its own: an earlier test's player opened libmpv for good
  EXPECT_EXIT(OpensAtTheFirstPlay(), ::testing::ExitedWithCode(0), "");
}

// Silent, endless or too long: refused soon, holding little past the cap; the same for the player's ASX and XSPF fetch.
TEST(QtHttpClientTest, FailsSoonWithoutAnAnswerOrPastTheCapHoldingLittleMemory) {
  QtHttpClient http({.timeout = 1500ms});
  EXPECT_THROW(http.OpenURL("file:///etc/passwd"), HttpError);
  const std::int64_t cap = QtHttpClient::Limits{}.maxBodyBytes;
  const std::string piece(64 * 1024, 'x');
  const std::tuple<const char*, std::string, std::string> cases[] = {  // what, the reply, what follows it endlessly
      {"no answer", "", ""},
      {"endless chunked list", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "10000\r\n" + piece + "\r\n"},
      {"endless body without a length", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", piece},
      {"just past the cap at once", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(cap + 1) +
                                        "\r\n\r\n" + std::string(static_cast<std::size_t>(cap) + 1, 'x'), ""},
  };
  for (const auto& [what, reply, endless] : cases) {
    test::CannedServer server(reply, endless, 0, false, 1ms);  // a fast line's 64 MB/s, as the panel's endless page
    // The window busy for a moment (a repaint on a slow machine) while the body pours in.
    QTimer::singleShot(0, [] { std::this_thread::sleep_for(200ms); });
    test::ResetPeakResident();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(http.OpenURL(server.address() + "radio/inter/zenders/holland.txt"), HttpError) << what;
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(waited < 10s && (!reply.empty() || waited >= 1400ms)) << what;  // the time-out fired, and not early
    EXPECT_LT(test::StatusKiB("VmHWM:"), 150 * 1024) << what;
    if (endless.empty()) continue;
    XmlPlaylistFetch playlist;
    std::optional<std::string> m3u;
    QTimer::singleShot(0, [] { std::this_thread::sleep_for(500ms); });  // 32 MB would pour in unbounded
    test::ResetPeakResident();
    const long before = test::StatusKiB("VmRSS:");
    playlist.start(server.address() + "list.asx", [&](const std::string& text) { m3u = text; });
    EXPECT_TRUE(test::WaitUntil([&] { return m3u.has_value(); }, 10s) && m3u->empty()) << what;
    EXPECT_LT(test::StatusKiB("VmHWM:") - before, 16 * 1024) << what;  // its bound is 1 MiB
  }
}

// Lists come only from a directory whose certificate is trusted.
TEST(QtHttpClientTest, RefusesADirectoryWithASelfSignedCertificateUntilItIsTrusted) {
  const TlsServer tls("mkdir -p radio/inter && printf 'HTTP/1.0 200 OK\\r\\nContent-Length: 20\\r\\n\\r\\n"
                      "<naam>Holland</naam>' >radio/inter/keuze-uk.txt", "-HTTP");
  ASSERT_TRUE(tls.Up()) << test::ReadFile(tls.folder / "server.log");
  EXPECT_THROW(QtHttpClient().OpenURL(tls.address("radio/inter/keuze-uk.txt")), HttpError);
  QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
  trusting.addCaCertificates((tls.folder / "cert.pem").c_str());
  QSslConfiguration::setDefaultConfiguration(trusting);  // for the rest of this test's process
  EXPECT_EQ(QtHttpClient().OpenURL(tls.address("radio/inter/keuze-uk.txt")), "<naam>Holland</naam>");
}

// A long Windows-1252 list behind a redirect (error pages: Form1Test): gzip over many reads, then revalidated.
TEST(QtHttpClientTest, AGzipListAfterARedirectAndItsRevalidationGiveTheListAsText) {
  const test::TempFolder data("http"), cache("http cache");
  std::string list;
  for (int n = 0; list.size() < 300000; ++n)
    list += "<naam>Zender " + std::to_string(n) + " Fran\xE7" "aise</naam><url>http://s.example/" +
            std::to_string(n * 7919) + "</url><homepage>www.example/" + std::to_string(n) + "</homepage>\n";
  data.write("radio/inter/zenders/groot.txt", list);
  test::DirectoryServerProcess server(data.path().string());
  test::CannedServer moved("HTTP/1.1 302 Found\r\nLocation: " + server.baseAddress() +
                           "radio/inter/zenders/groot.txt\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  QtHttpClient http(QtHttpClient::Limits{}, (cache / ".listcache").string());
  EXPECT_EQ(http.OpenURL(moved.address() + "moved"), DecodeBodyText(list));  // gzip on the wire
  EXPECT_EQ(http.OpenURL(moved.address() + "moved"), DecodeBodyText(list));  // 304 Not Modified
  EXPECT_TRUE(test::WaitUntil([&] { return server.log().find("groot.txt 304") != std::string::npos; }, 2s)) << server.log();
  // A gzip body cut short is no answer, never a shorter list.
  std::string packed = test::GzipText(list);
  packed.resize(packed.size() / 2);
  test::CannedServer cut("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + std::to_string(packed.size()) +
                         "\r\nConnection: close\r\n\r\n" + packed);
  EXPECT_THROW(QtHttpClient().OpenURL(cut.address() + "cut.txt"), HttpError);
}

}  // namespace
}  // namespace vandrel
