#include "dialogs/SearchAddress.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(SearchAddressTest, OnlyCharactersThatWouldChangeTheRequestAreEncoded) {
  const std::string search = "http://127.0.0.1:8470/radio/inter/zenders/radio-lijst-zoek.php?zoeken=";
  EXPECT_EQ(SearchAddress("http://127.0.0.1:8470/", "Radio-1_FM.nl~"), search + "Radio-1_FM.nl~");
  EXPECT_EQ(SearchAddress("http://127.0.0.1:8470/", ""), search);
  const std::pair<std::string, std::string> cases[] = {
      {"Q+ #1 100%", "Q%2B%20%231%20100%25"},
      {"R\xC3\xA1" "dio \xE2\x98\x85", "R%C3%A1dio%20%E2%98%85"},
      {std::string("a\0\n\x7f", 4), "a%00%0A%7F"},
  };
  for (const auto& [word, encoded] : cases) EXPECT_EQ(PercentEncoded(word), encoded) << word;
}

}  // namespace
}  // namespace vandrel
