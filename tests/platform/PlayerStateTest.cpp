#include "platform/PlayerState.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(PlayerStateTest, StatusTextSaysEachState) {
  const struct {
    PlayerState state;
    std::string title;
    std::string text;
  } cases[] = {
      {{PlayState::Stopped}, "ignored", "Stopped"},
      {{PlayState::Buffering, 42}, "", "Buffering 42%"},
      {{PlayState::Playing}, "", "Playing"},
      {{PlayState::Playing}, "Artist - Song", "Playing: Artist - Song"},
      {{PlayState::Paused}, "Artist - Song", "Paused"},
      {{PlayState::Reconnecting, 0, 2, 5, 4}, "", "Reconnecting in 4 s (2/5)"},
  };
  for (const auto& c : cases) EXPECT_EQ(StatusText(c.state, c.title), c.text);
}

TEST(PlayerStateTest, StreamTitlesInEveryFormStreamsSendThem) {
  using Map = std::map<std::string, std::string>;
  const struct {
    Map metadata;
    std::string title;
  } cases[] = {
      {{{"icy-title", "Caf\xC3\xA9 - Song"}}, "Caf\xC3\xA9 - Song"},               // UTF-8 as it is
      {{{"icy-title", "Caf\xE9 - \x93Song\x94"}}, "Caf\xC3\xA9 - \xE2\x80\x9CSong\xE2\x80\x9D"},  // Windows-1252
      {{{"icy-title", "  "}, {"title", "T"}}, "T"},                             // a blank ICY title says nothing
      {{{"ARTIST", "Ogg Artist"}, {"TITLE", "Ogg Title"}}, "Ogg Artist - Ogg Title"},  // Vorbis comments
      {{{"title", "Only"}}, "Only"},
      {{{"artist", "Only artist"}}, "Only artist"},
      {{{"icy-name", "Station"}, {"encoder", "Lavc"}}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(StreamTitleOf(c.metadata), c.title);
}

}  // namespace
}  // namespace vandrel
