#include "core/ReconnectPolicy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

namespace vandrel {
namespace {

std::string Told(const Reconnect& r) {
  const auto n = [](auto number) { return std::to_string(number); };
  if (r.retry) return n(r.pause.count()) + "ms:" + n(r.attempt) + "/" + n(r.attempts);
  std::string cause = FailureText({.failure = r.failure, .httpStatus = r.httpStatus});
  std::replace(cause.begin(), cause.end(), ' ', '-');
  return (r.lost ? "lost:" : "error:") + cause;
}

// A station's life on a fake clock, on the default timing: "+10s" waits, and
// "how=told" ends the entry as told and checks the decision.
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
      if (step[0] == '+') {
        const int n = std::stoi(step.substr(1));
        now += step.ends_with("ms") ? std::chrono::milliseconds(n) : std::chrono::seconds(n);
      }
      if (const auto is = step.find('='); is != std::string::npos) {
        EXPECT_EQ(Told(policy.ended(ends.at(step.substr(0, is)))), step.substr(is + 1)) << step;
      }
    }
  }
}

}  // namespace
}  // namespace vandrel
