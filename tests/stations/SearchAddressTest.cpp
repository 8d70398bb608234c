#include "stations/SearchAddress.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(SearchAddressTest, OnlyCharactersThatWouldChangeTheRequestAreEncoded) {
  // The address around the word is DirectoryDialogsTest's, through the server.
  const std::pair<std::string, std::string> cases[] = {
      {"Radio-1_FM.nl~", "Radio-1_FM.nl~"},
      {"Q+ #1 100%", "Q%2B%20%231%20100%25"},
      {"R\xC3\xA1" "dio \xE2\x98\x85", "R%C3%A1dio%20%E2%98%85"},
      {std::string("a\0\n\x7f", 4), "a%00%0A%7F"},
  };
  for (const auto& [word, encoded] : cases) EXPECT_EQ(PercentEncoded(word), encoded) << word;
}

}  // namespace
}  // namespace vandrel
