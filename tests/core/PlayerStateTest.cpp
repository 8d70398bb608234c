// What the player shows and decides, Qt-free, on a fake clock: the status line, titles, reconnects, comebacks.
#include "core/Comeback.h"
#include "core/PlayerState.h"
#include "core/ReconnectPolicy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <tuple>

namespace vandrel {
namespace {

using namespace std::chrono_literals;

TEST(PlayerStateTest, TheStatusLineNamesTheStateWithItsNumbers) {
  using P = PlayState;
  const std::tuple<PlayerState, const char*, const char*> cases[] = {  // the state, the stream's title, the line
      {{.activity = P::Stopped}, "Song", "Stopped"}, {{.activity = P::Connecting}, "", "Connecting"},
      {{.activity = P::Buffering, .bufferPercent = 42}, "Song", "Buffering 42%"},
      {{.activity = P::Playing}, "", "Playing"}, {{.activity = P::Paused}, "Song", "Paused"},
      {{.activity = P::Playing}, "Artist - Song", "Playing: Artist - Song"},
      {{.activity = P::Reconnecting, .reconnectTry = 2, .reconnectTries = 5, .reconnectInSeconds = 4}, "",
       "Reconnecting in 4 s (2/5)"},
      {{.activity = P::Error}, "", "Error"},  // each cause's words: MpvPlayerTest
      {{.activity = P::Error, .failure = PlayFailure::HttpStatus, .httpStatus = 404}, "Song", "Error: HTTP 404"},
  };
  for (const auto& [state, title, shown] : cases) EXPECT_EQ(StatusText(state, title), shown);
}

// ICY titles in both encodings and Vorbis comments are MpvPlayerTest's, from a real Icecast.
TEST(PlayerStateTest, StreamTitlesFallBackToWhatTheStreamSends) {
  const std::pair<std::map<std::string, std::string>, std::string> cases[] = {
      {{{"icy-title", "  "}, {"title", "T"}}, "T"},  // a blank ICY title says nothing
      {{{"title", "Only"}}, "Only"}, {{{"artist", "Only artist"}}, "Only artist"},
      {{{"icy-name", "Station"}, {"encoder", "Lavc"}}, ""},
  };
  TitleCharset charset;
  for (const auto& [metadata, title] : cases) EXPECT_EQ(StreamTitleOf(metadata, charset), title);
}

std::string Told(const Reconnect& r) {
  const auto n = [](auto number) { return std::to_string(number); };
  if (r.retry) return n(r.pause.count()) + "ms:" + n(r.attempt) + "/" + n(r.attempts);
  std::string cause = FailureText({.failure = r.failure, .httpStatus = r.httpStatus});
  std::replace(cause.begin(), cause.end(), ' ', '-');
  return (r.lost ? "lost:" : "error:") + cause;
}

// A station's life on the default timing: "+10s" waits, and "how=told" ends the entry as told and checks the decision.
TEST(ReconnectPolicyTest, DecidesWhatFollowsAnEnd) {
  const std::map<std::string, PlayEnd> ends = {
      {"end", {}}, {"refused", {PlayFailure::ConnectionRefused}}, {"404", {PlayFailure::HttpStatus, 404}},
      {"output", {.outputFailed = true}}, {"unknown", {.unknownFormat = true}},
      {"cert", {PlayFailure::CertificateNotTrusted}}, {"file", {PlayFailure::NotWebRadio}}};
  const std::pair<const char*, const char*> cases[] = {
      {"played: five tries after 1, 2, 4, 8 and 16 s, then lost",
       "open play end=1000ms:1/5 open refused=2000ms:2/5 open end=4000ms:3/5 open end=8000ms:4/5 open end=16000ms:5/5 "
       "open refused=lost:connection-refused open end=error:"},
      {"10 s of play renew the tries; shorter plays one after the other do not",
       "open play end=1000ms:1/5 open play +10s end=1000ms:1/5 open play +9999ms end=2000ms:2/5 "
       "open play +6s cut open play +6s end=4000ms:3/5 open play +6s play +4s end=1000ms:1/5"},
      {"never played: one error at once with its cause",
       "open refused=error:connection-refused open 404=error:HTTP-404 open +13999ms unknown=error:not-an-audio-stream"},
      {"silent up to the network time-out: no answer, unless a cause was named",
       "open +14s end=error:no-answer open +14s unknown=error:no-answer open +20s 404=error:HTTP-404"},
      {"a sound output that fails is tried, played or not",
       "open output=1000ms:1/5 open output=2000ms:2/5 open output=4000ms:3/5 open output=8000ms:4/5 "
       "open output=16000ms:5/5 open output=error:sound-output-failed"},
      {"an address or certificate refused is never tried",
       "open play cert=error:certificate-not-trusted open play file=error:not-a-web-radio-address"},
      {"the user's choice starts afresh",
       "open play end=1000ms:1/5 begin open end=error: open play end=1000ms:1/5 begin open play end=1000ms:1/5"},
  };
  for (const auto& [what, script] : cases) {
    SCOPED_TRACE(what);
    std::chrono::steady_clock::time_point now{};
    ReconnectPolicy policy({}, [&] { return now; });
    std::istringstream steps(script);
    for (std::string step; steps >> step;) {
      if (step == "begin") policy.begin();
      if (step == "open") policy.opening();
      if (step == "play") policy.playing();
      if (step == "cut") policy.interrupted();
      if (step[0] == '+') now += std::chrono::milliseconds(std::stoi(step.substr(1))) * (step.ends_with("ms") ? 1 : 1000);
      if (const auto is = step.find('='); is != std::string::npos) {
        EXPECT_EQ(Told(policy.ended(ends.at(step.substr(0, is)))), step.substr(is + 1)) << step;
      }
    }
  }
}

// Each step is told to one decision in turn; "question=answer" checks an answer, "+": the station plays already.
TEST(ComebackTest, OnlyALostOrSleepingStationReturnsUntilTheUserChooses) {
  const std::pair<const char*, const char*> cases[] = {
      {"nothing lost: nothing returns, failures show", "back=0 slow=0 left=0 report=1 report=1"},
      {"lost: its failure shows once, reopening fails silently", "lost report=1 report=0 back=1 report=0 back=1"},
      {"a reopened station that plays is left alone", "lost back+=0 slow+=0 back=1"},
      {"the user's choice ends it", "lost forget back=0 slow=0 left=0 report=1"},
      {"lost again: shown again, slow tries afresh", "lost report=1 slow=1 slow=1 left=0 lost left=1 report=1"},
      {"slow tries are counted, playing or not", "lost left=1 slow+=0 slow=1 left=0 slow=0 back=1"},
      {"asleep while playing: opened once at the return, silently", "sleep+ back+=1 back+=0 report=0 left=1"},
      {"asleep while lost: opened at the return", "lost report=1 sleep back+=1"},
      {"asleep while stopped: nothing to open", "sleep back=0 left=0"},
  };
  for (const auto& [what, script] : cases) {
    SCOPED_TRACE(what);
    Comeback comeback({.pause = 5ms, .count = 2});
    std::istringstream steps(script);
    for (std::string step; steps >> step;) {
      const bool playing = step.find('+') != std::string::npos;
      const std::string question = step.substr(0, step.find_first_of("+="));
      bool answer = false;
      if (question == "lost") comeback.lost();
      if (question == "sleep") comeback.suspending(playing);
      if (question == "forget") comeback.forget();
      if (question == "back") answer = comeback.networkBack(playing);
      if (question == "slow") answer = comeback.slowTry(playing);
      if (question == "left") answer = comeback.nextSlowTry() == std::optional(5ms);
      if (question == "report") answer = comeback.report();
      if (step.ends_with("=0") || step.ends_with("=1")) {
        EXPECT_EQ(answer, step.back() == '1') << step;
      }
    }
  }
}

}  // namespace
}  // namespace vandrel
