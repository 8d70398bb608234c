#include "dialogs/SearchAddress.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

constexpr const char* kBase = "http://127.0.0.1:8470/";

TEST(SearchAddressTest, PlainWordsStandAsTyped) {
  EXPECT_EQ(SearchAddress(kBase, "jazz"), "http://127.0.0.1:8470/radio/inter/zenders/radio-lijst-zoek.php?zoeken=jazz");
  EXPECT_EQ(SearchAddress(kBase, "Radio-1_FM.nl~"), std::string(kBase) +
                                                        "radio/inter/zenders/radio-lijst-zoek.php?zoeken=Radio-1_FM.nl~");
  EXPECT_EQ(SearchAddress(kBase, ""), std::string(kBase) + "radio/inter/zenders/radio-lijst-zoek.php?zoeken=");
}

TEST(SearchAddressTest, CharactersThatWouldChangeTheRequestAreEncoded) {
  EXPECT_EQ(PercentEncoded("rock & roll"), "rock%20%26%20roll");
  EXPECT_EQ(PercentEncoded("C++ #1 100%"), "C%2B%2B%20%231%20100%25");
  EXPECT_EQ(PercentEncoded("a=b?c/d;e"), "a%3Db%3Fc%2Fd%3Be");
  EXPECT_EQ(PercentEncoded("%20"), "%2520");  // typed as is, not decoded twice
  EXPECT_EQ(PercentEncoded("R\xC3\xA1" "dio \xE2\x98\x85"), "R%C3%A1dio%20%E2%98%85");
  EXPECT_EQ(PercentEncoded(std::string("a\0\n\x7f", 4)), "a%00%0A%7F");
}

}  // namespace
}  // namespace vandrel
