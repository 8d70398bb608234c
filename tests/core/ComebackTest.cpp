#include "core/Comeback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vandrel {
namespace {

using namespace std::chrono_literals;

// Each step is told to a fresh decision in turn; a question's answer is checked.
enum class Step { Lost, SleepPlaying, SleepIdle, Forget, Back, BackPlaying, Slow, SlowPlaying, SlowLeft, Report };

TEST(ComebackTest, OnlyALostOrSleepingStationReturnsUntilTheUserChooses) {
  using S = Step;
  const struct {
    const char* what;
    std::vector<std::pair<Step, bool>> steps;  // the answer expected of a question
  } cases[] = {
      {"nothing lost: nothing returns, failures show",
       {{S::Back, false}, {S::Slow, false}, {S::SlowLeft, false}, {S::Report, true}, {S::Report, true}}},
      {"lost: its own failure shows once, the tries to reopen it fail silently",
       {{S::Lost, {}}, {S::Report, true}, {S::Report, false}, {S::Back, true}, {S::Report, false}, {S::Back, true}}},
      {"a reopened station that plays is left alone",
       {{S::Lost, {}}, {S::BackPlaying, false}, {S::SlowPlaying, false}, {S::Back, true}}},
      {"the user's choice ends it",
       {{S::Lost, {}}, {S::Forget, {}}, {S::Back, false}, {S::Slow, false}, {S::SlowLeft, false}, {S::Report, true}}},
      {"lost again after playing: shown again, slow tries afresh",
       {{S::Lost, {}}, {S::Report, true}, {S::Slow, true}, {S::Slow, true}, {S::SlowLeft, false}, {S::Lost, {}},
        {S::SlowLeft, true}, {S::Report, true}}},
      {"slow tries are counted, playing or not",
       {{S::Lost, {}}, {S::SlowLeft, true}, {S::SlowPlaying, false}, {S::Slow, true}, {S::SlowLeft, false},
        {S::Slow, false}, {S::Back, true}}},
      {"asleep while playing: opened afresh once at the return, silently",
       {{S::SleepPlaying, {}}, {S::BackPlaying, true}, {S::BackPlaying, false}, {S::Report, false},
        {S::SlowLeft, true}}},
      {"asleep while lost: opened at the return",
       {{S::Lost, {}}, {S::Report, true}, {S::SleepIdle, {}}, {S::BackPlaying, true}}},
      {"asleep while stopped: nothing to open",
       {{S::SleepIdle, {}}, {S::Back, false}, {S::SlowLeft, false}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Comeback comeback({.pause = 5ms, .count = 2});
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const auto [step, expected] = c.steps[i];
      bool answer = expected;
      switch (step) {
        case S::Lost: comeback.Lost(); break;
        case S::SleepPlaying: comeback.Suspending(true); break;
        case S::SleepIdle: comeback.Suspending(false); break;
        case S::Forget: comeback.Forget(); break;
        case S::Back: answer = comeback.NetworkBack(false); break;
        case S::BackPlaying: answer = comeback.NetworkBack(true); break;
        case S::Slow: answer = comeback.SlowTry(false); break;
        case S::SlowPlaying: answer = comeback.SlowTry(true); break;
        case S::SlowLeft: answer = comeback.NextSlowTry() == std::optional(5ms); break;
        case S::Report: answer = comeback.Report(); break;
      }
      EXPECT_EQ(answer, expected) << "step " << i;
    }
  }
}

// Half an hour of tries, one every 30 s, when nothing says the network is back.
TEST(ComebackTest, ALostStationIsTriedEvery30sSixtyTimes) {
  Comeback comeback;
  comeback.Lost();
  int tries = 0;
  while (tries < 100 && comeback.NextSlowTry() == std::optional<std::chrono::milliseconds>(30s) && comeback.SlowTry(false)) ++tries;
  EXPECT_EQ(tries, 60);
}

}  // namespace
}  // namespace vandrel
