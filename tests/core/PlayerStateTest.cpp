#include "core/PlayerState.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(PlayerStateTest, TheStatusLineNamesTheStateWithItsNumbers) {
  using P = PlayState;
  const struct {
    PlayerState state;
    const char* title;
    const char* shown;
  } cases[] = {
      {{.activity = P::Stopped}, "Song", "Stopped"}, {{.activity = P::Connecting}, "", "Connecting"},
      {{.activity = P::Buffering, .bufferPercent = 42}, "Song", "Buffering 42%"},
      {{.activity = P::Buffering}, "", "Buffering 0%"}, {{.activity = P::Playing}, "", "Playing"},
      {{.activity = P::Playing}, "Artist - Song", "Playing: Artist - Song"},
      {{.activity = P::Paused}, "Song", "Paused"},
      {{.activity = P::Reconnecting, .reconnectTry = 2, .reconnectTries = 5, .reconnectInSeconds = 4}, "",
       "Reconnecting in 4 s (2/5)"},
      {{.activity = P::Error}, "", "Error"},
      {{.activity = P::Error, .failure = PlayFailure::NoAnswer}, "Song", "Error: no answer"},
      {{.activity = P::Error, .failure = PlayFailure::HttpStatus, .httpStatus = 404}, "", "Error: HTTP 404"},
  };
  for (const auto& c : cases) EXPECT_EQ(StatusText(c.state, c.title), c.shown);
}

}  // namespace
}  // namespace vandrel
