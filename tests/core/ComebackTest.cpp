#include "core/Comeback.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace vandrel {
namespace {

using namespace std::chrono_literals;

// Each step is told to a fresh decision in turn; "question=answer" checks an
// answer. "+" after a question: the station plays already.
TEST(ComebackTest, OnlyALostOrSleepingStationReturnsUntilTheUserChooses) {
  const std::pair<const char*, const char*> cases[] = {
      {"nothing lost: nothing returns, failures show", "back=0 slow=0 left=0 report=1 report=1"},
      {"lost: its own failure shows once, the tries to reopen it fail silently",
       "lost report=1 report=0 back=1 report=0 back=1"},
      {"a reopened station that plays is left alone", "lost back+=0 slow+=0 back=1"},
      {"the user's choice ends it", "lost forget back=0 slow=0 left=0 report=1"},
      {"lost again after playing: shown again, slow tries afresh",
       "lost report=1 slow=1 slow=1 left=0 lost left=1 report=1"},
      {"slow tries are counted, playing or not", "lost left=1 slow+=0 slow=1 left=0 slow=0 back=1"},
      {"asleep while playing: opened afresh once at the return, silently",
       "sleep+ back+=1 back+=0 report=0 left=1"},
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

// Half an hour of tries, one every 30 s, when nothing says the network is back.
TEST(ComebackTest, ALostStationIsTriedEvery30sSixtyTimes) {
  Comeback comeback;
  comeback.lost();
  int tries = 0;
  const std::optional<std::chrono::milliseconds> halfAMinute = 30s;
  while (tries < 100 && comeback.nextSlowTry() == halfAMinute && comeback.slowTry(false)) ++tries;
  EXPECT_EQ(tries, 60);
}

}  // namespace
}  // namespace vandrel
