#include "platform/PlayerState.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

// ICY titles in both encodings and Vorbis comments are MpvPlayerTest's, from a real Icecast.
TEST(PlayerStateTest, StreamTitlesFallBackToWhatTheStreamSends) {
  using Map = std::map<std::string, std::string>;
  const struct {
    Map metadata;
    std::string title;
  } cases[] = {
      {{{"icy-title", "  "}, {"title", "T"}}, "T"},  // a blank ICY title says nothing
      {{{"title", "Only"}}, "Only"},
      {{{"artist", "Only artist"}}, "Only artist"},
      {{{"icy-name", "Station"}, {"encoder", "Lavc"}}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(StreamTitleOf(c.metadata), c.title);
}

}  // namespace
}  // namespace vandrel
